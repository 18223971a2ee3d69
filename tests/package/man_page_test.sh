#!/usr/bin/env bash
# The manual page as man shows it: no warning from man and groff, the sections a reader looks
# for, and the version of the project in its footer.
#   man_page_test.sh <page> <project version>
# Ends with 77 (skipped) when man is not installed (Debian: man-db, groff-base).
set -u
page=$1
version=$2

if ! command -v man > /dev/null; then
  echo "skipped: man is not installed (Debian packages man-db and groff-base)"
  exit 77
fi

export LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat PAGER=cat
failed=0
fail() { echo "FAILED: $*"; failed=1; }

warnings=$(man --warnings -l "$page" 2>&1 > /dev/null)
status=$?
[ "$status" -eq 0 ] || fail "man ended with status $status"
[ -z "$warnings" ] || fail "man --warnings printed:"$'\n'"$warnings"

text=$(man -l "$page" 2> /dev/null | col -b)
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "THE SECONDS" "THE KEYBOARD" EXAMPLES; do
  grep -qx "$section" <<< "$text" || fail "no section $section"
done
grep -q "usage: SNOOZLET <seconds>" <<< "$text" || fail "the usage line is not shown"

th=$(grep -m1 '^\.TH ' "$page")
[[ $th == *"\"snoozlet $version\""* ]] || fail "the .TH line does not name snoozlet $version: $th"

[ "$failed" -eq 0 ] && echo "the manual page shows without warnings"
exit "$failed"
