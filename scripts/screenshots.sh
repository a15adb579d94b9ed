#!/usr/bin/env bash
# Writes a PNG of every window of the desktop program, with the demo song open, at 100% and
# 200% scale, in Japanese and in English: out/screenshots/{100,200}/*.png and
# out/screenshots/en/{100,200}/*.png. Offscreen: no display is needed. Builds first (release).
# Usage: scripts/screenshots.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/screenshots}
scripts/install-deps.sh
scripts/build.sh release
for scale in 100 200; do
  factor=$(awk "BEGIN { print $scale / 100 }")
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$factor build/src/app/kantor --screenshots "$out/$scale" \
    2> >(grep -v 'does not support' >&2)
  QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$factor build/src/app/kantor --lang en --screenshots "$out/en/$scale" \
    2> >(grep -v 'does not support' >&2)
done
echo "Screenshots in $out/100, $out/200, $out/en/100 and $out/en/200"
