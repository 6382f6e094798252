#!/usr/bin/env bash
# Installs the portable program folder: the executable with its settings and
# database beside it. The program is always replaced; the settings and the
# database are copied only where none exist, so a reinstall never touches the
# rider's rides or options. A desktop entry pointing into the folder puts the
# program in the applications menu.
set -euo pipefail

build=$1
dest=$2
resources=$(cd "$(dirname "${BASH_SOURCE[0]}")/../resources" && pwd)

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
# Copy then rename, so a running copy of the program is never overwritten in place.
# Stripped: the debug information stays in the build folder.
install -s -m 0755 "$build/kilovento" "$dest/.kilovento.new"
mv -f "$dest/.kilovento.new" "$dest/kilovento"
install -m 0644 "$resources/icons/kilovento.svg" "$dest/.kilovento.svg.new"
mv -f "$dest/.kilovento.svg.new" "$dest/kilovento.svg"

for file in kilovento.ini kilovento.mdb; do
  if [[ ! -e "$dest/$file" ]]; then
    install -m 0644 "$build/template/$file" "$dest/.$file.new"
    mv -n "$dest/.$file.new" "$dest/$file"
    rm -f "$dest/.$file.new"
  fi
done

# A value of the desktop entry format: a backslash is written twice.
desktop_string() {
  printf '%s' "${1//\\/\\\\}"
}

# The program's path as the Exec key wants it: quoted, with the characters the
# quotes do not protect escaped, and any percent sign doubled.
desktop_exec() {
  local s=$1
  s=${s//\\/\\\\}
  s=${s//\"/\\\"}
  s=${s//\`/\\\`}
  s=${s//\$/\\\$}
  s=${s//%/%%}
  desktop_string "\"$s\""
}

if [[ "$dest" == *$'\n'* ]]; then
  echo "No menu entry: the folder's name holds a line break" >&2
else
  apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
  entry="$apps/kilovento.desktop"
  marker='X-Kilovento-Installer=install-program.sh'
  # Only our own entry is ever replaced.
  if [[ -e "$entry" ]] && ! grep -qxF "$marker" "$entry"; then
    echo "Left $entry alone: it was not written by this installer" >&2
  else
    mkdir -p "$apps"
    while IFS= read -r line; do
      case "$line" in
        TryExec=*) printf 'TryExec=%s\n' "$(desktop_string "$dest/kilovento")" ;;
        # The field codes after the program ("%F": the files to open) stay.
        Exec=*) args=${line#Exec=}; args=${args#kilovento}
                printf 'Exec=%s%s\n' "$(desktop_exec "$dest/kilovento")" "$args" ;;
        Icon=*) printf 'Icon=%s\n' "$(desktop_string "$dest/kilovento.svg")" ;;
        *) printf '%s\n' "$line" ;;
      esac
    done < "$resources/kilovento.desktop" > "$apps/.kilovento.desktop.new"
    chmod 0644 "$apps/.kilovento.desktop.new"
    mv -f "$apps/.kilovento.desktop.new" "$entry"
    echo "Menu entry: $entry"
  fi
fi
echo "Kilovento is in $dest"
