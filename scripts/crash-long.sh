#!/usr/bin/env bash
# A long run of the crash test: the program is killed at random moments while readings stream
# into its data file, for the given number of rounds (default 200) from a new random seed.
# The seed is printed; GLIMORA_CRASH_SEED=<seed> repeats that run. The test command runs five
# rounds from a fixed seed.
#   scripts/crash-long.sh [rounds]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$here/scripts/compiler-cache.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target tst_crash
export GLIMORA_CRASH_ROUNDS="${1:-200}" GLIMORA_CRASH_SEED="${GLIMORA_CRASH_SEED:-random}"
export QTEST_FUNCTION_TIMEOUT=7200000 QT_QPA_PLATFORM=offscreen
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_CONFIG_HOME="$home/config" "$here/build/tests/crash/tst_crash" killedWhileReading
