// Opens a run's debrief.html in the system Chromium (headless, through
// playwright-core: no browser is downloaded) and checks it as a user would:
// no console error and no failed request; every image decoded; the audio
// player as long as the run; clicking a call's marker moves the player to the
// call; filtering the timeline by a kind shows only that kind. Writes
// DIR/debrief-screenshot.png.
//
//   node tests/browser/debrief_page_test.js RUN_DIR [SCREENSHOT_NAME]
//
// Exit status 0 when every check passes, 1 when one fails, 2 when the browser
// cannot be started (a missing Chromium is an install error, not a skip).
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

function fail(message) {
  console.error('FAIL: ' + message);
  process.exitCode = 1;
}

function check(ok, message) {
  if (ok) console.log('ok: ' + message);
  else fail(message);
  return ok;
}

async function main() {
  const dir = path.resolve(process.argv[2] || '');
  const shotName = process.argv[3] || 'debrief-screenshot.png';
  const page_path = path.join(dir, 'debrief.html');
  if (!fs.existsSync(page_path)) {
    console.error(`no ${page_path}: run carrier-bench first`);
    process.exit(2);
  }
  if (!fs.existsSync(CHROMIUM)) {
    console.error(`Chromium is not installed at ${CHROMIUM}: install the Debian package "chromium" ` +
                  '(make deps does)');
    process.exit(2);
  }
  let chromium;
  try {
    ({ chromium } = require('playwright-core'));
  } catch (e) {
    console.error('playwright-core is not installed: npm ci --prefix tests/browser (make deps does)');
    process.exit(2);
  }
  // The run's length from the summary's first line: Scenario "NAME": 113.0 s at ...
  const summary = fs.readFileSync(path.join(dir, 'summary.txt'), 'utf8');
  const m = /^Scenario ".*": ([0-9.]+) s at/m.exec(summary);
  if (!m) {
    console.error('summary.txt has no scenario line');
    process.exit(2);
  }
  const runLength = parseFloat(m[1]);

  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'debrief-chromium-'));
  let browser;
  try {
    // A fresh profile each run (playwright passes it as --user-data-dir).
    browser = await chromium.launchPersistentContext(profile, {
      executablePath: CHROMIUM,
      headless: true,
      viewport: { width: 1280, height: 900 },
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--autoplay-policy=no-user-gesture-required'],
    });
  } catch (e) {
    console.error(`cannot start Chromium (${CHROMIUM}): ${e.message}`);
    fs.rmSync(profile, { recursive: true, force: true });
    process.exit(2);
  }
  try {
    const page = await browser.newPage();
    const problems = [];
    page.on('console', (msg) => { if (msg.type() === 'error') problems.push('console error: ' + msg.text()); });
    page.on('pageerror', (err) => problems.push('page error: ' + err.message));
    page.on('requestfailed', (req) => problems.push(`failed request: ${req.url()} (${req.failure().errorText})`));
    const requests = [];
    page.on('request', (req) => requests.push(req.url()));

    await page.goto(pathToFileURL(page_path).href, { waitUntil: 'load' });

    // The audio player: metadata loaded, as long as the run.
    await page.waitForFunction(() => {
      const a = document.getElementById('audio');
      return a && a.readyState >= 1 && isFinite(a.duration);
    }, null, { timeout: 15000 });
    const duration = await page.$eval('#audio', (a) => a.duration);
    check(Math.abs(duration - runLength) < 0.05, `audio duration ${duration.toFixed(3)} s, run ${runLength} s`);

    // Every image decoded.
    const images = await page.$$eval('img', (imgs) => imgs.map((i) => ({
      name: i.title || i.alt, complete: i.complete, width: i.naturalWidth })));
    check(images.length > 0, `${images.length} images on the page`);
    const bad = images.filter((i) => !i.complete || i.width <= 0);
    check(bad.length === 0, 'every image decoded' + (bad.length ? ': not ' + bad.map((i) => i.name).join(', ') : ''));
    check(await page.$('#deck img') !== null, 'the deck picture is on the page');

    // Each call's marker moves the player to its time.
    const markers = await page.$$('.call-marker');
    check(markers.length > 0, `${markers.length} call markers on the time bar`);
    for (const marker of markers) {
      const t = parseFloat(await marker.getAttribute('data-t'));
      const label = (await marker.textContent()).trim();
      // Where the click moved the player: its time as the seek starts (the
      // track then plays on from there).
      await page.evaluate(() => {
        const a = document.getElementById('audio');
        window.seekedTo = null;
        a.addEventListener('seeking', () => { window.seekedTo = a.currentTime; }, { once: true });
      });
      await marker.click();
      const now = await page.waitForFunction(() => (window.seekedTo === null ? false : { t: window.seekedTo }), null,
        { timeout: 5000 }).then((h) => h.jsonValue()).then((v) => v.t).catch(() => NaN);
      await page.$eval('#audio', (a) => a.pause());
      check(Math.abs(now - t) < 0.01, `call "${label}" at ${t.toFixed(2)} s: player moved to ${Number(now).toFixed(3)} s`);
    }

    // Filtering the timeline by a kind shows only rows of that kind.
    const kinds = await page.$$eval('#kind-filter option', (os) => os.map((o) => o.value).filter((v) => v));
    check(kinds.length > 1, `${kinds.length} kinds in the timeline filter`);
    for (const kind of ['text', 'flight', kinds[0]]) {
      if (!kinds.includes(kind)) continue;
      await page.selectOption('#kind-filter', kind);
      const shown = await page.$$eval('#timeline-table tbody tr',
        (rows) => rows.filter((r) => r.style.display !== 'none').map((r) => r.children[1].textContent));
      check(shown.length > 0 && shown.every((k) => k === kind),
            `filter "${kind}": ${shown.length} rows, all of that kind`);
    }
    await page.selectOption('#kind-filter', '');

    // Nothing left the run directory.
    const outside = requests.filter((u) => !u.startsWith('file://') && !u.startsWith('data:'));
    check(outside.length === 0, 'no request outside the run directory' + (outside.length ? ': ' + outside.join(', ') : ''));
    check(problems.length === 0, 'no console error or failed request' + (problems.length ? ':\n  ' + problems.join('\n  ') : ''));

    // The call labels on the time bar do not overlap.
    const boxes = await page.$$eval('.call-marker', (bs) => bs.map((b) => {
      const r = b.getBoundingClientRect();
      return { l: r.left, r: r.right, t: r.top, b: r.bottom, text: b.textContent };
    }));
    const overlaps = [];
    for (let i = 0; i < boxes.length; i++)
      for (let j = i + 1; j < boxes.length; j++) {
        const a = boxes[i], b = boxes[j];
        if (a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b) overlaps.push(`"${a.text}" and "${b.text}"`);
      }
    check(overlaps.length === 0, 'call labels do not overlap' + (overlaps.length ? ': ' + overlaps.join(', ') : ''));

    // What a pilot sees first: the top of the page.
    await page.evaluate(() => window.scrollTo(0, 0));
    const shot = path.join(dir, shotName);
    await page.screenshot({ path: shot, fullPage: false });
    check(fs.statSync(shot).size > 0, `screenshot ${shot}`);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error('FAIL: ' + (e && e.stack ? e.stack : e));
  process.exitCode = 1;
});
