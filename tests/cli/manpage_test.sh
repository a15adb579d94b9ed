#!/bin/sh
# The manual page kantor-cli(1) renders without warnings and holds every command.
# Usage: manpage_test.sh MANPAGE; exit status 77 (skipped) when man is not installed.
page=$1
if ! command -v man >/dev/null 2>&1; then
    echo "man is not installed"
    exit 77
fi
if [ ! -s "$page" ]; then
    echo "FAIL: $page was not made"
    exit 1
fi
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>"$warnings")
status=$?
if [ $status -ne 0 ] || [ -s "$warnings" ]; then
    echo "FAIL: man -l $page (status $status):"
    cat "$warnings"
    exit 1
fi
failures=0
for want in "command-line tools" SYNOPSIS OPTIONS ENVIRONMENT "kantor-cli info:" "kantor-cli pos:" \
    "kantor-cli play:" "kantor-cli render:" "kantor-cli phrase:" "kantor-cli new:" "kantor-cli import:" \
    "kantor-cli export:" "kantor-cli voice:" \
    "kantor-cli voice list:" "kantor-cli voice info:" "kantor-cli voice import:" "kantor-cli voice export:" \
    "kantor-cli voice delete:" "kantor-cli voice build:" "kantor-cli voice automark:" "--quality CODE" \
    "--formants keep|resample" "render.conf" "kantor-cli language:" "--lang en|ja" "language.conf" "kantor-cli note add:" "kantor-cli note split:" "--empty" "WRITING NOTES"; do
    if ! printf '%s\n' "$text" | grep -q -F -e "$want"; then
        echo "FAIL: the manual page lacks '$want'"
        failures=$((failures + 1))
    fi
done
[ $failures -eq 0 ] || exit 1
echo "manual page: renders without warnings, every command present"
