#!/usr/bin/env bash
# Each man page, as man shows it, lists in its OPTIONS section exactly the
# options and texts its program's --help prints, in the same order.
# Each settings key the node reads is described in the pages' SETTINGS section.
#   ManPageTest.sh BUILD_DIR [SOURCE_DIR]
set -euo pipefail
build=$1
source=${2:-}
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# "--opt VALUE text" a line, blanks squeezed.
from_help() {
    sed -n 's/^  \(--[a-z-]*\)/\1/p' | tr -s ' '
}
# The OPTIONS section rendered without wrapping: an option's line, then its text.
from_page() {
    zcat "$1" | groff -man -Tutf8 -P-cbou -rLL=1000n 2>/dev/null |
        sed -n '/^OPTIONS$/,/^[A-Z]/p' | sed '1d;$d' | sed 's/^ *//' |
        awk 'NF == 0 { next } /^--/ { if (line) print line; line = $0; next } { line = line " " $0 }
             END { if (line) print line }' | tr -s ' '
}
for pair in ui/pelmar:pelmar.1 daemon/pelmard:pelmard.8 tools/pelmar-reflector:pelmar-reflector.8; do
    program=$build/${pair%%:*}
    page=$build/dist/man/${pair#*:}.gz
    [ -f "$page" ] || fail "$page missing"
    help=$("$program" --help | from_help)
    shown=$(from_page "$page")
    [ -n "$help" ] || fail "$program --help lists no options"
    [ "$help" = "$shown" ] || fail "$(basename "$page") differs from $program --help:
$(diff <(echo "$help") <(echo "$shown"))"
done
if [ -n "$source" ]; then
    # settings.GetInt("Section", "Key", ...) and GetString alike, in the node's code.
    keys=$(grep -rhoE 'Get(Int|String)\("[A-Za-z]+", "[A-Za-z]+"' "$source/app" "$source/daemon" |
        sed -E 's/.*\("([A-Za-z]+)", "([A-Za-z]+)"/[\1] \2=/' | sort -u)
    [ -n "$keys" ] || fail "no settings keys found in $source/app"
    settings=$(zcat "$build/dist/man/pelmard.8.gz" | groff -man -Tutf8 -P-cbou -rLL=1000n 2>/dev/null |
        sed -n '/^SETTINGS$/,/^[A-Z]/p')
    while IFS= read -r key; do
        grep -qF "$key" <<<"$settings" || fail "pelmard.8 does not describe the setting $key"
    done <<<"$keys"
fi
echo "man pages match --help: ok"
