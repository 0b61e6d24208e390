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
