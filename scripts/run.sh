#!/usr/bin/env bash
# The main job: installs what is missing, builds (which makes the built-in voices MaleVox and
# FemaleVox and the demo song), puts them into the user's folders on the first start, and
# sings the demo song into WAV files: the vocal alone, and the whole song mixed with its MIDI.
# With a display, it then starts the desktop program with the demo song open.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
mkdir -p out
cli=build/src/kantor-cli
song=build/sample/DEMOS20.uta

echo "== The demo song"
"$cli" info "$song" | sed -n '1,6p'
echo
echo "== Its vocal, sung by MaleVox: out/DEMOS20-vocal.wav"
"$cli" render "$song" -o out/DEMOS20-vocal.wav
echo
echo "== The whole song, MIDI and vocal: out/DEMOS20.wav"
"$cli" render "$song" --mix -o out/DEMOS20.wav
echo
"$cli" info out/DEMOS20.wav
echo
echo "Listen to out/DEMOS20.wav (stereo, 44100 Hz) and out/DEMOS20-vocal.wav (the vocal alone)."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "== Starting the desktop program with the demo song"
  exec build/src/app/kantor "$song"
else
  echo
  echo "No display here. Start the desktop program on a desktop with:"
  echo "    build/src/app/kantor $song"
  echo "(scripts/screenshots.sh shows every window without a display.)"
fi
