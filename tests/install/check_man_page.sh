#!/usr/bin/env bash
# A manual page renders at 80 columns without a warning from man or groff, has the sections a user
# looks for, and, given the program, names every option that the program's --help lists.
#
#   check_man_page.sh PAGE [PROGRAM]
set -euo pipefail
page=$1
program=${2:-}
fail() { echo "FAIL: $page: $*" >&2; exit 1; }

warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "warnings while rendering:"$'\n'"$warnings"

text=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "INPUT FORMS" OUTPUT "EXIT STATUS" EXAMPLES \
               "SEE ALSO"; do
    grep -q "^$section\$" <<<"$text" || fail "no section $section"
done

if [ -n "$program" ]; then
    source_text=$(sed 's/\\-/-/g' "$page")
    for option in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -e "$option\\b" <<<"$source_text" || fail "option $option is not described"
    done
fi
