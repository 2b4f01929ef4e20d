#!/bin/sh
# Makes the bundled simulator root's sound files: the landing-signal
# officer's nine calls in English and in French, spoken by espeak-ng and
# shaped like a radio voice by sox (band-limited to 300-3000 Hz, a little
# compression, normalised to -1 dBFS), and the catapult's launch sound,
# synthesised by sox (a swelling roar of filtered noise with a thump).
#
# Output: mono 16-bit PCM WAV at 8 kHz (a radio voice needs no more; the
# bench's sound library resamples to its track rate) under
# scenarios/simroot/Gauges/Sounds/.
# The same tool versions give the same bytes: sox runs without dither and
# with its repeatable random numbers, espeak-ng is deterministic.
#
#   scripts/make_sounds.sh [OUTPUT_DIR]      (default: scenarios/simroot/Gauges/Sounds)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/scenarios/simroot/Gauges/Sounds}
for tool in espeak-ng sox; do
    command -v $tool >/dev/null || { echo "make_sounds: $tool is missing (make deps installs it)" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

# The radio voice: headroom, band-pass, compander, level, 8 kHz mono 16-bit, no dither.
radio() { # in.wav out.wav
    sox -R -D "$1" -r 8000 -c 1 -b 16 "$2" \
        gain -8 highpass 300 lowpass 3000 \
        compand 0.02,0.20 -60,-60,-30,-15,0,-6 -3 \
        gain -n -1 pad 0.05 0.10
}

# speak VOICE FILE TEXT: one call.
speak() {
    espeak-ng -v "$1" -s 165 -p 40 -a 150 -w "$tmp/raw.wav" "$3"
    radio "$tmp/raw.wav" "$2"
}

mkdir -p "$out/English" "$out/French"

speak en-us "$out/English/wire1.wav"    "One wire. A little short."
speak en-us "$out/English/wire2.wav"    "Two wire. Good pass."
speak en-us "$out/English/wire3.wav"    "Three wire. Nice."
speak en-us "$out/English/wire4.wav"    "Four wire. A little long."
speak en-us "$out/English/callball.wav" "Call the ball."
speak en-us "$out/English/toohigh.wav"  "You're high."
speak en-us "$out/English/toolow.wav"   "You're low. Power!"
speak en-us "$out/English/lineup.wav"   "Check your line up."
speak en-us "$out/English/waveoff.wav"  "Wave off! Wave off!"

speak fr "$out/French/brin1.wav"        "Brin un. Un peu court."
speak fr "$out/French/brin2.wav"        "Brin deux. Bonne passe."
speak fr "$out/French/brin3.wav"        "Brin trois. Très bien."
speak fr "$out/French/brin4.wav"        "Brin quatre. Un peu long."
speak fr "$out/French/boule.wav"        "Annoncez la boule."
speak fr "$out/French/haut.wav"         "Vous êtes haut."
speak fr "$out/French/bas.wav"          "Vous êtes bas. Puissance !"
speak fr "$out/French/alignement.wav"   "Alignez-vous."
speak fr "$out/French/remise.wav"       "Remettez les gaz ! Remettez les gaz !"

# The launch: 2.5 s of brown noise through a low-pass, swelling in 0.3 s
# and dying away over 1.5 s, over a short 45 Hz thump at the shuttle's start.
sox -R -D -n -r 8000 -c 1 -b 16 "$tmp/roar.wav" synth 2.5 brownnoise lowpass 900 fade q 0.3 2.5 1.5 gain -n -3
sox -R -D -n -r 8000 -c 1 -b 16 "$tmp/thump.wav" synth 0.35 sine 45 fade q 0.01 0.35 0.3 gain -n -4
sox -R -D -m "$tmp/roar.wav" "$tmp/thump.wav" -b 16 "$out/catapult.wav" gain -n -1

echo "sounds written to $out"
