#!/usr/bin/env bash
# The main job: installs what is missing, builds, makes the demo song's MIDI file and shows
# what the program reads from it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
mkdir -p out
build/tools/kantor-make-demo out >/dev/null
build/src/kantor-cli info out/DEMOS20.mid
echo
build/src/kantor-cli pos out/DEMOS20.mid 0 1920 9600
