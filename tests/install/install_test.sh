#!/usr/bin/env bash
# The Debian package: cpack makes glimora_<version>_amd64.deb with its dependencies declared and
# the files in the standard places (the program, its help file, its contract library and its
# plug-ins side by side in /usr/lib/glimora; the command and the meter emulator in /usr/bin; the
# menu entry and the icons). Unpacked into a scratch root, the program starts from there with no
# variable set, from an unrelated folder, shows its window, and ends cleanly on SIGTERM, saving
# its settings.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
xvfb=""
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack did not make the package"; }
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
deb="$work/package/glimora_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work/package")"

# Control data: what the binaries link (found by dpkg-shlibdeps) and what the program loads by name.
dpkg-deb -I "$deb" >"$work/control"
grep -qx ' Package: glimora' "$work/control" || fail "package name"
grep -qx " Version: $version" "$work/control" || fail "package version"
grep -qx ' Architecture: amd64' "$work/control" || fail "package architecture"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libc6 libqt6widgets6 libqt6printsupport6 libqt6charts6 libqt6serialport6 libcanberra0 libmspack0 \
           qt6-qpa-plugins fonts-liberation2 libqt6sql6-sqlite libqt6sql6-psql; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

# The file list, then the files themselves unpacked into a scratch root.
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/files"
for f in ./usr/bin/glimora ./usr/bin/glimora-meter-emulator ./usr/lib/glimora/glimora ./usr/lib/glimora/Glimora_Help.chm \
         ./usr/lib/glimora/libglimora-vantrel.so ./usr/lib/glimora/metercontrols/simulated.so \
         ./usr/lib/glimora/metercontrols/serial.so ./usr/share/applications/glimora.desktop \
         ./usr/share/icons/hicolor/256x256/apps/glimora.png ./usr/share/icons/hicolor/64x64/apps/glimora.png; do
  grep -qx -- "$f" "$work/files" || fail "the package lacks $f"
done
if grep -E '/(tst_|fuzz_|bench_)|/include/' "$work/files"; then fail "the package holds build or test files"; fi
root="$work/root"
dpkg -x "$deb" "$root"
inst="$root/usr"
[ "$(readlink "$inst/bin/glimora")" = "../lib/glimora/glimora" ] || fail "/usr/bin/glimora does not lead to the program"
"$inst/bin/glimora-meter-emulator" --help | grep -q -- '--unplug-after' || fail "the meter emulator does not run"
grep -qx 'Exec=glimora' "$inst/share/applications/glimora.desktop" || fail "menu entry does not start glimora"
grep -qx 'Icon=glimora' "$inst/share/applications/glimora.desktop" || fail "menu entry has no icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$inst/share/applications/glimora.desktop" || fail "menu entry is not valid"
fi

# Started through the link from an unrelated folder on a private X display, it shows its main
# window, and SIGTERM ends it as File > Exit does.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
timeout 30 bash -c "until [ -s '$work/display' ]; do sleep 0.1; done" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
home="$root/home"
mkdir -p "$home/config/Glimora"
printf '[Preferences]\nPassword=x\n' >"$home/config/Glimora/Glimora.ini"
cd /
HOME="$home" XDG_CONFIG_HOME="$home/config" "$inst/bin/glimora" >"$work/glimora.log" 2>&1 &
program=$!
timeout 60 xdotool search --sync --onlyvisible --name '^DOI/Haze Meter$' >/dev/null ||
  { cat "$work/glimora.log" >&2; fail "the installed program showed no main window"; }
kill -TERM "$program"
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || { cat "$work/glimora.log" >&2; fail "the program ended with status $status on SIGTERM"; }
grep -qx '\[Tabs\]' "$home/config/Glimora/Glimora.ini" || fail "the program did not save its settings on SIGTERM"
[ -f "$home/config/Glimora/SimulatedMeter.ini" ] || fail "the installed program did not start its meter"
echo "1 passed, 0 failed"
