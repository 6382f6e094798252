#!/usr/bin/env bash
# Installs the portable program folder: the executable with its settings and
# database beside it. The program is always replaced; the settings and the
# database are copied only where none exist, so a reinstall never touches the
# rider's rides or options.
set -euo pipefail

build=$1
dest=$2

mkdir -p "$dest"
# Copy then rename, so a running copy of the program is never overwritten in place.
install -m 0755 "$build/kilovento" "$dest/.kilovento.new"
mv -f "$dest/.kilovento.new" "$dest/kilovento"

for file in kilovento.ini kilovento.mdb; do
  if [[ ! -e "$dest/$file" ]]; then
    install -m 0644 "$build/template/$file" "$dest/.$file.new"
    mv -n "$dest/.$file.new" "$dest/$file"
    rm -f "$dest/.$file.new"
  fi
done
echo "Kilovento is in $dest"
