#!/usr/bin/env bash
# Sets up, builds and runs every test of Glimora.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
jobs="$(nproc)"

cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j"$jobs"
cd "$here/build"
ctest --output-on-failure -j"$jobs"
# The same suite under a locale that writes decimal commas: what the program reads from the
# store, from files and from typed text must not change with it.
LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ctest --output-on-failure -j"$jobs"

# The whole suite again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
bash "$here/scripts/sanitize.sh"
# A short run of every fuzz target (settings file, data file header, numbers, help file).
bash "$here/scripts/fuzz.sh" 15
