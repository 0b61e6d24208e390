#!/usr/bin/env bash
# The meter control SDK: installed into a fresh prefix, it builds examples/metercontrol outside
# the tree, and the installed program links to that meter control.
set -euo pipefail
build="$1" source="$2" cmake="$3"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$root/prefix" >/dev/null
"$cmake" -S "$source/examples/metercontrol" -B "$root/example" -DCMAKE_PREFIX_PATH="$root/prefix" >"$root/log" 2>&1 \
  && "$cmake" --build "$root/example" >>"$root/log" 2>&1 && "$cmake" --install "$root/example" >>"$root/log" 2>&1 \
  || { cat "$root/log"; fail "the example does not build against the installed SDK"; }
program="$(readlink -f "$root/prefix/bin/glimora")"
[ -f "$(dirname "$program")/metercontrols/example.so" ] || fail "the example was not installed beside the program"

# The example meter is on the mains: it keeps itself alive whatever it is handed, so the
# preference read back at Exit says True only when the program linked to it.
config="$root/home/config"
mkdir -p "$config/Glimora"
printf '[Preferences]\nPassword=x\nKeepAlive=False\n[MeterControl]\nName=Example\nHandshakeMs=0\n' > "$config/Glimora/Glimora.ini"
set +e
HOME="$root/home" XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen timeout 6 "$root/prefix/bin/glimora" >/dev/null 2>"$root/stderr"
status=$?
set -e
[ "$status" -eq 124 ] || { cat "$root/stderr"; fail "the installed program ended with status $status instead of running"; }
grep -qi 'meter control' "$root/stderr" && { cat "$root/stderr"; fail "a meter control was skipped"; }
grep -qx 'KeepAlive=True' "$config/Glimora/Glimora.ini" || { cat "$root/stderr"; fail "the program did not link to the example meter"; }
echo "1 passed, 0 failed"
