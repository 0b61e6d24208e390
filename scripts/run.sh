#!/usr/bin/env bash
# Sets up, builds and starts Glimora on the simulated meter.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
source "$here/scripts/compiler-cache.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
# The program, its meter control plug-ins, the meter emulator and the help file; not the tests.
cmake --build "$here/build" -j"$(nproc)" --target glimora metercontrols glimora-meter-emulator glimora_help
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Glimora is a desktop application and there is no display here (DISPLAY is not set)." >&2
  echo "Run it on a virtual display instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' $here/build/app/glimora" >&2
  exit 1
fi
exec "$here/build/app/glimora"
