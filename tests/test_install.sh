#!/usr/bin/env bash
# Installs the program folder as `make run` does, into a temporary folder with a
# temporary applications folder, and checks what a rider relies on: a stripped
# program, a desktop entry the desktop accepts, and a reinstall that keeps the
# rides and the settings.
set -euo pipefail
build=$1
installer=$(dirname "${BASH_SOURCE[0]}")/../scripts/install-program.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$installer" "$build" "$work/program folder" > /dev/null
program="$work/program folder/kilovento"
[[ -x "$program" ]] || fail "no program"
readelf -S "$program" | grep -q '\.debug_info' && fail "the installed program keeps its debug information"
entry="$XDG_DATA_HOME/applications/kilovento.desktop"
desktop-file-validate "$entry" || fail "the installed desktop entry does not validate"
grep -qxF "Exec=\"$program\" %F" "$entry" || fail "the desktop entry does not start the installed program with the files"

echo "rides" > "$work/program folder/kilovento.mdb"
echo "options" > "$work/program folder/kilovento.ini"
"$installer" "$build" "$work/program folder" > /dev/null
[[ $(cat "$work/program folder/kilovento.mdb") == rides ]] || fail "a reinstall replaced the database"
[[ $(cat "$work/program folder/kilovento.ini") == options ]] || fail "a reinstall replaced the settings"
echo "PASS"
