#!/usr/bin/env bash
# The Debian package made by cpack declares its dependencies and holds the program, help file,
# contract library and plug-ins side by side in /usr/lib/glimora, the commands, menu entry and
# icons. Unpacked into a scratch root, it starts from an unrelated folder with no variable set,
# shows its window, and ends cleanly on SIGTERM, saving its settings.
set -euo pipefail
build="$1" work="$(mktemp -d)" xvfb=""
trap '[ -z "$xvfb" ] || kill "$xvfb"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ ! -f "$work/log" ] || cat "$work/log" >&2; exit 1; }
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/log" 2>&1 || fail "cpack did not make the package"
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")"
deb="$work/deb/glimora_${version}_amd64.deb"
dpkg-deb -I "$deb" | grep -c -x -e ' Package: glimora' -e " Version: $version" -e ' Architecture: amd64' | grep -qx 3 || fail "control data"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libc6 libqt6widgets6 libqt6printsupport6 libqt6charts6 libqt6serialport6 libcanberra0 libmspack0 \
           qt6-qpa-plugins fonts-liberation2 libqt6sql6-sqlite libqt6sql6-psql; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/files"
for f in bin/glimora bin/glimora-meter-emulator bin/glimora-history lib/glimora/glimora lib/glimora/Glimora_Help.chm lib/glimora/libglimora-vantrel.so \
         lib/glimora/metercontrols/simulated.so lib/glimora/metercontrols/serial.so share/applications/glimora.desktop \
         share/icons/hicolor/256x256/apps/glimora.png share/icons/hicolor/64x64/apps/glimora.png; do
  grep -qx "./usr/$f" "$work/files" || fail "the package lacks /usr/$f"
done
! grep -E '/(tst_|fuzz_|bench_|broken_)|_autogen' "$work/files" || fail "the package holds build or test files"
dpkg -x "$deb" "$work/root"
usr="$work/root/usr" home="$work/root/home"
"$usr/bin/glimora-meter-emulator" --help | grep -q -- '--unplug-after' || fail "the meter emulator does not run"
"$usr/bin/glimora-history" --help | grep -q -- '--comment' || fail "glimora-history does not run"
grep -qx -e 'Exec=glimora' "$usr/share/applications/glimora.desktop" && grep -qx 'Icon=glimora' "$usr/share/applications/glimora.desktop" || fail "menu entry"
desktop-file-validate "$usr/share/applications/glimora.desktop" || fail "menu entry is not valid"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
timeout 30 bash -c "until [ -s '$work/display' ]; do sleep 0.1; done" || fail "Xvfb did not start"
mkdir -p "$home/config/Glimora" && printf '[Preferences]\nPassword=x\n' >"$home/config/Glimora/Glimora.ini"
cd /
DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb HOME="$home" XDG_CONFIG_HOME="$home/config" "$usr/bin/glimora" >"$work/log" 2>&1 &
program=$!
DISPLAY=":$(cat "$work/display")" timeout 60 xdotool search --sync --onlyvisible --name '^DOI/Haze Meter$' >/dev/null || fail "no main window"
kill -TERM "$program" && wait "$program" || fail "the program did not end cleanly on SIGTERM"
grep -qx '\[Tabs\]' "$home/config/Glimora/Glimora.ini" || fail "the program did not save its settings on SIGTERM"
[ -f "$home/config/Glimora/SimulatedMeter.ini" ] || fail "the installed program did not start its meter"
echo "1 passed, 0 failed"
