#!/usr/bin/env bash
# cmake --install puts the program, its help file, the menu entry and the icon in the standard
# places, and the installed program starts from any folder.
set -euo pipefail
build="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
prefix=/usr/local

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >/dev/null
inst="$root$prefix"

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -x "$inst/bin/glimora" ] || fail "no program on the PATH folder"
program="$(readlink -f "$inst/bin/glimora")"
[ -f "$(dirname "$program")/Glimora_Help.chm" ] || fail "the help file is not beside the program"
for control in simulated serial; do
  [ -f "$(dirname "$program")/metercontrols/$control.so" ] || fail "no $control meter control beside the program"
done
"$inst/bin/glimora-meter-emulator" --help | grep -q -- '--unplug-after' || fail "the meter emulator does not run"
"$inst/bin/glimora-history" --help | grep -q -- '--comment' || fail "glimora-history does not run"
[ -f "$inst/share/applications/glimora.desktop" ] || fail "no menu entry"
[ -f "$inst/share/icons/hicolor/256x256/apps/glimora.png" ] || fail "no 256 px icon"
[ -f "$inst/share/icons/hicolor/64x64/apps/glimora.png" ] || fail "no 64 px icon"
grep -qx 'Exec=glimora' "$inst/share/applications/glimora.desktop" || fail "menu entry does not start glimora"
grep -qx 'Icon=glimora' "$inst/share/applications/glimora.desktop" || fail "menu entry has no icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$inst/share/applications/glimora.desktop" || fail "menu entry is not valid"
fi

# Started through the link from an unrelated folder, it comes up and keeps running.
home="$root/home"
mkdir -p "$home/config/Glimora"
printf '[Preferences]\nPassword=x\n' > "$home/config/Glimora/Glimora.ini"
cd /
set +e
HOME="$home" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen timeout 4 "$inst/bin/glimora" >/dev/null 2>&1
status=$?
set -e
[ "$status" -eq 124 ] || fail "the installed program ended with status $status instead of running"
[ -f "$home/config/Glimora/SimulatedMeter.ini" ] || fail "the installed program did not start its meter"
echo "1 passed, 0 failed"
