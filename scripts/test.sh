#!/usr/bin/env bash
# Sets up, builds and runs every test of Glimora, and prints how long each phase took.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Each phase appends "<name> <seconds>" here (sanitize.sh and fuzz.sh too); printed at the end,
# also when a phase fails.
export GLIMORA_PHASES="$(mktemp)"
print_phases() {
  echo "Phase times:"
  awk '{ t += $NF; s = $NF; $NF = ""; printf "  %-26s %4d s\n", $0, s } END { printf "  %-26s %4d s\n", "total", t }' "$GLIMORA_PHASES"
}
trap 'status=$?; [ "$status" -eq 0 ] || print_phases; rm -f "$GLIMORA_PHASES" "$GLIMORA_PHASES.last"' EXIT
source "$here/scripts/phases.sh"

bash "$here/scripts/setup.sh"
phase_end "set-up"
jobs="$(nproc)"
# The tests mostly wait (on timers, serial lines, the database, Xvfb): at one test a core they kept
# the cores 40 % busy, so twice as many run at once.
export GLIMORA_TEST_JOBS="${GLIMORA_TEST_JOBS:-$((2 * jobs))}"
# The two builds below (plain with gcc, sanitized with clang) go through the compiler cache;
# paths are taken relative to the clone, so a fresh clone anywhere reuses what an earlier one
# compiled.
source "$here/scripts/compiler-cache.sh"

# The plain build holds the real program with its plug-ins and tools, and the tests that drive it
# whole: the journeys, the crash test, the install checks and the layer check. The library suites
# are compiled once, in the sanitizer build below, and run there (twice, the second time under
# de_DE.UTF-8): compiling them in both builds took more time than anything else the command does.
# Line tables only (-g1): a sixth less compile time than full debug information, and a backtrace
# still names file and line. The package's own build (README) keeps the full information.
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMORA_BENCH=OFF -DGLIMORA_SUITES=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
cmake --build "$here/build" -j"$jobs"
phase_end "build"
(cd "$here/build" && ctest --output-on-failure -j"$GLIMORA_TEST_JOBS")
phase_end "tests of the program"

# The library suites and the journeys under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, built by clang (a second compiler's warnings and code on top of gcc's),
# together with the fuzz targets.
bash "$here/scripts/sanitize.sh"
# The suites again under a locale that writes decimal commas: what the program reads from the
# store, from files and from typed text must not change with it. The journeys drive the same code
# through the screen and are not repeated.
(cd "$here/build-asan" && LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ctest --output-on-failure -j"$GLIMORA_TEST_JOBS" -LE 'e2e|install')
phase_end "suites under de_DE.UTF-8"

# Every fuzz target, built above with the suites, replays its corpus and then runs a fixed number
# of inputs from a fixed seed (settings file, data file header, help file, serial line): the same
# inputs on every run.
bash "$here/scripts/fuzz.sh" --runs

print_phases
# The size of the tests against the program, in lines (tests and fuzz targets against the
# program's C++ outside tests/, fuzz/, bench/ and tools/); the aim is at most 0.40.
cd "$here"
test_lines=$(git ls-files -- tests fuzz | grep -E '\.(cpp|h|hpp|py|sh)$' | grep -v '/corpus/' | xargs cat | wc -l)
code_lines=$(git ls-files | grep -E '\.(cpp|h|hpp)$' | grep -v -E '^(tests|fuzz|bench|tools)/' | xargs cat | wc -l)
awk -v t="$test_lines" -v c="$code_lines" 'BEGIN { printf "Tests to program: %d to %d lines, ratio %.3f (at most 0.40)\n", t, c, t / c }'
