#!/bin/sh
# The manual page kantor(1) renders without warnings and names its options.
# Usage: manpage_test.sh MANPAGE; exit status 77 (skipped) when man is not installed.
page=$1
command -v man >/dev/null 2>&1 || { echo "man is not installed"; exit 77; }
[ -s "$page" ] || { echo "FAIL: $page was not made"; exit 1; }
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>"$warnings") || { cat "$warnings"; exit 1; }
if [ -s "$warnings" ]; then echo "FAIL: warnings:"; cat "$warnings"; exit 1; fi
for want in SYNOPSIS --screenshots --audio --version; do
    printf '%s\n' "$text" | grep -q -F -e "$want" || { echo "FAIL: the manual page lacks '$want'"; exit 1; }
done
echo "kantor(1) renders cleanly"
