#!/usr/bin/env bash
# Builds the Debian package as `make package` does, into a temporary folder,
# and checks what an installation relies on: the files and where they go, the
# dependencies, a desktop entry the desktop accepts, and a program that,
# unpacked into a root of its own, starts with a new home and makes its log
# there from the package's templates.
set -euo pipefail
build=$1
id=$2
work=$(mktemp -d)
xserver=
program=
cleanup() {
  [[ -n "$program" ]] && kill "$program" 2>/dev/null || true
  [[ -n "$xserver" ]] && kill "$xserver" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$work/out" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$work"/out/kilovento_*_*.deb)

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$')
for file in ./usr/bin/kilovento ./usr/share/kilovento/kilovento.ini ./usr/share/kilovento/kilovento.mdb \
            "./usr/share/applications/$id.desktop" "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
            "./usr/share/metainfo/$id.metainfo.xml" "./usr/share/mime/packages/$id.xml" \
            ./usr/share/man/man1/kilovento.1.gz ./usr/share/doc/kilovento/changelog.Debian.gz; do
  grep -qxF "$file" <<< "$contents" || fail "the package lacks $file"
done
for size in 16 32 48 64 128 256; do
  grep -qxF "./usr/share/icons/hicolor/${size}x${size}/apps/$id.png" <<< "$contents" || fail "no $size px icon"
done
depends=$(dpkg-deb -f "$deb" Depends)
# SQLite is linked into the program: no libsqlite3-0 among them.
for needed in qt6-qpa-plugins libqt6widgets6 zlib1g; do
  grep -q "$needed" <<< "$depends" || fail "Depends lacks $needed: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] || fail "Recommends lacks the Italian Qt texts"

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" > /dev/null \
  || fail "the AppStream metadata does not validate"
zcat "$root/usr/share/man/man1/kilovento.1.gz" | grep -q NOSPLASH || fail "the manual page names no switch"
file "$root/usr/bin/kilovento" | grep -q 'not stripped' && fail "the packaged program keeps its symbols"

export HOME="$work/home" XDG_DATA_HOME= XDG_CONFIG_HOME= XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
Xvfb -displayfd 1 -noreset -screen 0 1024x768x24 -nolisten tcp > "$work/display" 2> /dev/null &
xserver=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || fail "no X server"
DISPLAY=":$(head -1 "$work/display")" QT_QPA_PLATFORM=xcb "$root/usr/bin/kilovento" /NOSPLASH /NOPROMPTONCLOSE &
program=$!
log="$HOME/.local/share/kilovento/kilovento.mdb"
for _ in $(seq 150); do [[ -s "$log" ]] && break; sleep 0.1; done
[[ -s "$log" ]] || fail "the unpacked program made no log in the new home"
cmp -s "$log" "$root/usr/share/kilovento/kilovento.mdb" || fail "the new log is not the package's empty one"
kill -0 "$program" 2>/dev/null || fail "the unpacked program did not keep running"
echo "PASS"
