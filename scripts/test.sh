#!/usr/bin/env bash
# Sets up, builds and runs every test of Glimora.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
jobs="$(nproc)"
# The three builds below (plain, sanitized, fuzzing) go through the compiler cache; paths are
# taken relative to the clone, so a fresh clone anywhere reuses what an earlier one compiled.
source "$here/scripts/compiler-cache.sh"

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMORA_BENCH=OFF "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
cmake --build "$here/build" -j"$jobs"
cd "$here/build"
ctest --output-on-failure -j"$jobs"
# The suites again under a locale that writes decimal commas: what the program reads from the
# store, from files and from typed text must not change with it. The journeys drive the same code
# through the screen and are not repeated.
LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ctest --output-on-failure -j"$jobs" -LE e2e

# The whole suite again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
bash "$here/scripts/sanitize.sh"
# A short run of every fuzz target (settings file, data file header, help file, serial line).
bash "$here/scripts/fuzz.sh" 15

# The size of the tests against the program, in lines (tests and fuzz targets against the
# program's C++ outside tests/, fuzz/, bench/ and tools/); the aim is at most 0.40.
cd "$here"
test_lines=$(git ls-files -- tests fuzz | grep -E '\.(cpp|h|hpp|py|sh)$' | grep -v '/corpus/' | xargs cat | wc -l)
code_lines=$(git ls-files | grep -E '\.(cpp|h|hpp)$' | grep -v -E '^(tests|fuzz|bench|tools)/' | xargs cat | wc -l)
awk -v t="$test_lines" -v c="$code_lines" 'BEGIN { printf "Tests to program: %d to %d lines, ratio %.3f (at most 0.40)\n", t, c, t / c }'
