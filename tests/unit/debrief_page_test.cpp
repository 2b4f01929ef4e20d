// The debrief page made from a small run directory: its sections from the
// files there, "not available" for the missing ones, text escaped, the
// timeline's kinds in the filter; and its helpers (label rows, WAV length).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/record/debrief_page.h"

namespace fs = std::filesystem;

TEST(DebriefPageHelpers, LabelRowsNeverOverlap)
{
    struct Case {
        const char* what;
        std::vector<double> x, width;
        std::vector<int> rows;
    } cases[] = {
        {"apart", {0, 100, 200}, {50, 50, 50}, {0, 0, 0}},
        {"the second over the first", {0, 30}, {50, 50}, {0, 1}},
        {"a third clears the first row again", {0, 30, 60}, {50, 50, 50}, {0, 1, 0}},
        {"within the gap counts as touching", {0, 52}, {50, 50}, {0, 1}},
        {"three on one spot", {10, 10, 10}, {20, 20, 20}, {0, 1, 2}},
    };
    for (const Case& c : cases) EXPECT_EQ(host::label_rows(c.x, c.width), c.rows) << c.what;
}

TEST(DebriefPageHelpers, WavLengthFromItsHeader)
{
    const fs::path dir = fs::temp_directory_path();
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const std::string fmt = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(16000) + le32(32000) +
                            std::string("\x02\x00\x10\x00", 4);
    const std::string extra = "LIST" + le32(3) + "abc" + std::string(1, '\0');  // an odd chunk, padded
    const std::string wav = "RIFF" + le32(0) + "WAVE" + fmt + extra + "data" + le32(64000);
    std::ofstream(dir / "page_test.wav", std::ios::binary) << wav;
    EXPECT_DOUBLE_EQ(host::wav_seconds((dir / "page_test.wav").string()), 2.0);
    std::ofstream(dir / "page_test.wav", std::ios::binary) << "not a wave file";
    EXPECT_LT(host::wav_seconds((dir / "page_test.wav").string()), 0.0);
    fs::remove(dir / "page_test.wav");
    EXPECT_LT(host::wav_seconds((dir / "no_such.wav").string()), 0.0);
}

class DebriefPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        char scratch[] = "/tmp/carrier_page_XXXXXX";
        ASSERT_NE(mkdtemp(scratch), nullptr);
        dir = scratch;
        write("summary.txt", "Scenario \"Trap <one>\": 12.0 s at 30 frames/s, 360 frames\n");
        write("story.txt", "Story of the run:\n  1.00  officer: \"LSO: <Call> the ball & go\"\n");
        write("timeline.jsonl",
              "{\"t\":1.0,\"frame\":30,\"kind\":\"text\",\"color\":\"red\",\"text\":\"LSO: Call the ball\"}\n"
              "{\"t\":1.0,\"frame\":30,\"kind\":\"sound\",\"ordinal\":33,\"path\":\"Gauges/Sounds/English/callball.wav\"}\n"
              "{\"t\":2.5,\"frame\":75,\"kind\":\"flight\",\"what\":\"touchdown\"}\n"
              "{\"t\":3.0,\"frame\":90,\"kind\":\"sound\",\"ordinal\":33,\"path\":\"Gauges/Sounds/English/wire3.wav\"}\n"
              "not json at all\n");
    }
    void TearDown() override { fs::remove_all(dir); }
    void write(const char* name, const std::string& text) { std::ofstream(dir / name) << text; }
    std::string page()
    {
        std::string error;
        EXPECT_TRUE(host::write_debrief_page(dir.string(), &error)) << error;
        std::ifstream in(dir / "debrief.html");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static size_t count(const std::string& text, const std::string& what)
    {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    fs::path dir;
};

TEST_F(DebriefPage, SectionsFromTheFilesThere)
{
    const std::string html = page();
    // Name and story escaped, never raw.
    EXPECT_NE(html.find("<h1 id=\"scenario-name\">Trap &lt;one&gt;</h1>"), std::string::npos);
    EXPECT_NE(html.find("&quot;LSO: &lt;Call&gt; the ball &amp; go&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<Call>"), std::string::npos);
    // Missing inputs say so, one line each.
    EXPECT_NE(html.find("not available: the scenario&#39;s expectations"), std::string::npos);
    EXPECT_NE(html.find("not available: the passes&#39; grades"), std::string::npos);
    EXPECT_NE(html.find("not available: deck.png"), std::string::npos);
    EXPECT_NE(html.find("not available: audio.wav"), std::string::npos);
    EXPECT_EQ(count(html, "<audio"), 0u);
    // The timeline: three kinds in the filter, a row per readable event.
    EXPECT_NE(html.find("<option value=\"flight\">flight (1)</option>"), std::string::npos);
    EXPECT_NE(html.find("<option value=\"sound\">sound (2)</option>"), std::string::npos);
    EXPECT_EQ(count(html, "<tr data-kind="), 4u);
    // Nothing from outside the run directory.
    EXPECT_EQ(html.find("http://"), html.find("http://www.w3.org/2000/svg"));
    EXPECT_EQ(html.find("https://"), std::string::npos);
}

TEST_F(DebriefPage, GradesVerdictAudioAndCallsWhenPresent)
{
    write("expectations.json", R"({"scenario": "Trap", "all_met": false, "expectations": [
        {"name": "Wire 3", "line": 12, "met": false, "expected": "wire 3", "observed": "wire 2 at t=3.00"},
        {"name": "Call the ball", "line": 11, "met": true, "expected": "call CallBall", "observed": "at t=1.00"},
        {"name": "Locked on", "line": 10, "met": true, "expected": "locked", "observed": "at t=0.10"}]})");
    write("passes.json", R"js({"grades": ["_OK_"], "scenario": "Trap", "passes": [
        {"pass": 1, "grade": "(OK)", "points": 3.0, "outcome": "trap", "wire": 2, "groove_s": 18.4,
         "wind_over_deck_kt": 25.0, "t": 0.5, "carrier": "CVN <68>", "aircraft": "User Aircraft",
         "deviations": "(HI)X LULIM _SLO_IC",
         "zones": {"X": {"HI": 1}, "IM": {"LUL": 2}, "IC": {"SLO": 3}, "AR": {}, "IW": {}},
         "calls": [{"t": 1.0, "range_nm": 0.7, "zone": "X", "text": "LSO: Call the ball"},
                   {"t": 2.0, "range_nm": 0.2, "zone": "AR", "text": "LSO: You're high"}],
         "disagreements": ["\"LSO: You're high\" at 0.20 nm (AR): the judge saw the glide slope"]},
        {"pass": 2, "grade": "WO", "points": 1.0, "outcome": "wave-off", "wire": 0, "deviations": "",
         "zones": {}, "calls": [], "disagreements": []}]})js");
    write("trapsheet.csv", "pass,grade\n1,(OK)\n");
    // A silent WAV of 12 s: 16 kHz, 16-bit mono.
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    std::ofstream(dir / "audio.wav", std::ios::binary)
        << "RIFF" + le32(0) + "WAVE" + "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(16000) +
               le32(32000) + std::string("\x02\x00\x10\x00", 4) + "data" + le32(12 * 32000);
    const std::string html = page();
    // The verdict from the expectations, each a row named first, the unmet marked.
    EXPECT_NE(html.find("class=\"verdict fail\">1 of 3 expectations not met<"), std::string::npos);
    EXPECT_NE(html.find("<tr class=\"unmet\"><td>Wire 3</td><td><span class=\"fail\">not met</span></td><td>wire 3</td>"
                        "<td>wire 2 at t=3.00</td><td>12</td></tr>"),
              std::string::npos);
    EXPECT_EQ(count(html, "<tr class=\"met\">"), 2u);
    // Each pass graded in the board's colours, its deviations by zone as the LSO writes them.
    EXPECT_NE(html.find("background:#fad926;color:#111\">(OK)</span> Pass 1: 3.0 points"), std::string::npos);
    EXPECT_NE(html.find("trap, 2-wire, groove 18.4 s, wind over the deck 25.0 kt"), std::string::npos);
    EXPECT_NE(html.find("CVN &lt;68&gt;"), std::string::npos) << "escaped";
    EXPECT_NE(html.find("<tr><th>glide slope</th><td>(HI)</td><td></td><td></td>"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>line-up</th><td></td><td>LUL</td><td></td>"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>angle of attack</th><td></td><td></td><td>_SLO_</td>"), std::string::npos);
    // The module's calls beside the judge of their zone, and the disagreement.
    EXPECT_NE(html.find("<td>X</td><td>LSO: Call the ball</td><td>(HI)</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>AR</td><td>LSO: You&#39;re high</td><td>no deviation in that zone</td>"),
              std::string::npos);
    EXPECT_NE(html.find("the judge saw the glide slope</li>"), std::string::npos);
    EXPECT_EQ(count(html, "The module&#39;s calls agree with the judge"), 0u);
    EXPECT_EQ(count(html, "The module's calls agree with the judge"), 1u) << "pass 2 has no disagreement";
    EXPECT_NE(html.find(">WO</span> Pass 2"), std::string::npos);
    EXPECT_NE(html.find("href=\"trapsheet.csv\""), std::string::npos);
    EXPECT_NE(html.find("src=\"audio.wav\""), std::string::npos) << "referenced, not inlined";
    // Each played call a marker at its time, named by its screen text.
    EXPECT_EQ(count(html, "class=\"call-marker\""), 2u);
    EXPECT_NE(html.find("data-t=\"1.000\" style=\"left:8.33%\" title=\"1.00 s\">LSO: Call the ball<"), std::string::npos);
    EXPECT_NE(html.find("data-t=\"3.000\" style=\"left:25.00%\" title=\"3.00 s\">wire3<"), std::string::npos);

    write("expectations.json", R"({"all_met": true, "expectations": [{"name": "Wire 3", "met": true}]})");
    EXPECT_NE(page().find("class=\"verdict pass\">1 of 1 expectations met<"), std::string::npos);
    write("expectations.json", R"({"all_met": true, "expectations": []})");
    EXPECT_NE(page().find("class=\"verdict pass\">ran as scripted<"), std::string::npos) << "none stated: the summary's";
    write("expectations.json", "{ broken");
    EXPECT_NE(page().find("expectations.json is not valid JSON"), std::string::npos);
    write("passes.json", R"({"passes": []})");
    EXPECT_NE(page().find("no pass: the aircraft never entered the groove"), std::string::npos);
}
