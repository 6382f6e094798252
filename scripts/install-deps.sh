#!/usr/bin/env bash
# Installs from Debian's packages whatever building, running and testing
# Kilovento needs and is not there yet. Uses sudo when not run as root.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n libqt6svg6
  libsqlite3-dev sqlite3 libfontconfig-dev zlib1g-dev gpsbabel
  xvfb xauth xdotool x11-utils poppler-utils fontconfig-config fonts-liberation2 fonts-dejavu-core desktop-file-utils
  dpkg-dev file appstream
  libxcb1-dev libxcb-damage0-dev
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
