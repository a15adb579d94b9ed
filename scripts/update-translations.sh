#!/usr/bin/env bash
# Brings the translation files up to date with the sources: new texts are added (unfinished),
# texts gone from the sources are dropped, translations already made are kept.
#   translations/kantor_en.ts       the windows (tr() in src/app)
#   translations/kantor_core_en.ts  the core, the application owner and the command line
#                                   (texts marked KANTOR_TEXT)
# Fill in the English with Qt Linguist (linguist-qt6) or any editor, then build.
# Usage: scripts/update-translations.sh
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${LUPDATE:-$(command -v lupdate || echo /usr/lib/qt6/bin/lupdate)}
[ -x "$LUPDATE" ] || { echo "lupdate not found: scripts/install-deps.sh installs qt6-l10n-tools" >&2; exit 1; }

common=(-silent -locations none -no-obsolete -source-language ja -target-language en)
# -I src: the windows include their headers as "app/X.h"; lupdate must find them to know
# that a class is kantor::app::X (the context tr() looks in at run time).
"$LUPDATE" "${common[@]}" -I src src/app -ts translations/kantor_en.ts
core_dirs=()
for d in base sound midi song voice synth audio plugins voicemaker settings platform import hub cli; do
  core_dirs+=("src/$d")
done
"$LUPDATE" "${common[@]}" -tr-function-alias QT_TR_NOOP+=KANTOR_TEXT "${core_dirs[@]}" -ts translations/kantor_core_en.ts
