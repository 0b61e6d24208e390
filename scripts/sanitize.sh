#!/usr/bin/env bash
# Builds the program, its tests and the fuzz targets with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer (clang, the code instrumented for libFuzzer's coverage) in build-asan
# and runs the tests there: the library suites and the journeys of the real program. The fuzz
# targets share the libraries compiled here; scripts/fuzz.sh --runs replays them from this build.
# The crash test and the install checks are not part of this build (tests/CMakeLists.txt): a
# process killed outright leaves a sanitizer nothing to report, and installing instrumented
# binaries proves nothing. Any report of a sanitizer fails the test that caused it. Leaks that
# stay inside a system library are listed in scripts/lsan.supp; ours never are.
#   scripts/sanitize.sh [ctest arguments...]
#   scripts/sanitize.sh --build-only [target...]   builds (the given targets), runs nothing
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-asan"
jobs="${GLIMORA_JOBS:-$(nproc)}"
source "$here/scripts/compiler-cache.sh"
source "$here/scripts/phases.sh"

# Unoptimised (-O0: a third less compile time than -O1 for the same tests; the stack traces stay
# exact), with line tables only (-g1), all a sanitizer's report needs to name the file and line.
# clang compiles this build in some 30 % less time than gcc, coverage instrumentation included.
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DGLIMORA_SANITIZE=ON -DGLIMORA_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g1" "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
if [ "${1:-}" = "--build-only" ]; then
  shift
  targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  exec cmake --build "$build" -j"$jobs" "${targets[@]}"
fi
cmake --build "$build" -j"$jobs"
phase_end "sanitizer build"

# The QtTest suites get the same ASan and LSan options from their test environment
# (tests/CMakeLists.txt); these reach everything else ctest starts, such as the program that
# the end-to-end journeys drive.
export ASAN_OPTIONS="detect_leaks=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j"${GLIMORA_TEST_JOBS:-$jobs}" "$@"
phase_end "sanitizer tests"
