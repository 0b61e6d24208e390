#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with ASan and UBSan) and runs them, as many at once as
# there are cores. Fails when a target finds a crash, a failed check, a leak or a hang; the input
# that did it is kept in <build>/artifacts/<target>/.
#   scripts/fuzz.sh [seconds] [target...]   new random inputs for the given seconds (default 20),
#                                           growing the corpus kept in build-fuzz/corpus/<target>/;
#                                           built in build-fuzz, the targets alone at -O1, the
#                                           quickest per input
#   scripts/fuzz.sh --runs [N] [target...]  the checked-in corpus fuzz/corpus/<target>/ replayed,
#                                           then inputs from a fixed seed up to N runs in all (by
#                                           default each target's own count below, some 10 to 20
#                                           seconds): the same inputs every time, the test
#                                           command's way (GLIMORA_FUZZ_SEED, default 1, picks
#                                           another sequence); built in build-asan beside the
#                                           suites (scripts/sanitize.sh), which the test command
#                                           has already compiled
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs=""
seconds=20
if [ "${1:-}" = "--runs" ]; then
  runs=default
  shift
  if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    runs="$1"
    shift
  fi
elif [ $# -gt 0 ]; then
  seconds="$1"
  shift
fi
seed="${GLIMORA_FUZZ_SEED:-1}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_header fuzz_settings fuzz_chm fuzz_serialline)
jobs="${GLIMORA_JOBS:-$(nproc)}"
source "$here/scripts/compiler-cache.sh"
source "$here/scripts/phases.sh"

if [ -n "$runs" ]; then
  build="$here/build-asan"
  bash "$here/scripts/sanitize.sh" --build-only "${targets[@]}"
else
  # -O1 with line tables only (-g1), as fuzzing builds usually are: quick to compile, and all a
  # crash report needs to name the file and line.
  build="$here/build-fuzz"
  cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DGLIMORA_FUZZ=ON -DGLIMORA_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    "${GLIMORA_CMAKE_CACHE[@]}" >/dev/null
  cmake --build "$build" -j"$jobs" --target "${targets[@]}"
fi
phase_end "fuzz build"

# A small quarantine keeps the allocator reusing memory instead of faulting in fresh pages,
# which makes the allocation-heavy targets several times faster. The fast unwinder records
# stray frames inside Qt, so ASan's store of allocation stacks grows by some 20 KB for each
# fuzz_settings input (not a leak: the same loop without ASan stays flat); the memory limit
# below leaves room for runs of an hour.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

fuzz_one() {
  local target="$1"
  local work="$build/corpus/$target" artifacts="$build/artifacts/$target" seeds="$here/fuzz/corpus/$target"
  local extra=() max_len=4096 log="$build/artifacts/$target.log" length=(-max_total_time="$seconds") what="${seconds}s"
  local own_runs=20000
  case "$target" in
    fuzz_chm) own_runs=300 ;;
    fuzz_settings) own_runs=1000 ;;
    fuzz_header) own_runs=5000 ;;
  esac
  if [ -n "$runs" ]; then
    [ "$runs" = default ] || own_runs="$runs"
    # A fresh folder for what the run finds, so that only the checked-in seeds are replayed.
    work="$build/replay/$target"
    rm -rf "$work"
    length=(-runs="$own_runs" -seed="$seed")
    what="$own_runs runs from seed $seed"
  fi
  mkdir -p "$work" "$artifacts"
  case "$target" in
    fuzz_chm)
      # The program's own help file is the main seed; its mutations are the damaged files.
      cp -f "$build/app/Glimora_Help.chm" "$work/Glimora_Help.chm"
      max_len=131072
      extra+=(-dict="$here/fuzz/chm.dict")
      ;;
    fuzz_settings)
      max_len=8192
      extra+=(-dict="$here/fuzz/settings.dict")
      ;;
    fuzz_header)
      extra+=(-dict="$here/fuzz/header.dict")
      ;;
    fuzz_serialline)
      extra+=(-dict="$here/fuzz/serial.dict")
      ;;
  esac
  if ( cd "$artifacts" && "$build/fuzz/$target" "${length[@]}" -timeout=25 -rss_limit_mb=4096 \
         -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" "${extra[@]}" \
         "$work" "$seeds" ) >"$log" 2>&1; then
    echo "== $target: $what, $(grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log" |
      sed 's/^stat:://; s/: */ /' | paste -sd, -)"
  else
    echo "!! $target failed; the input is in $artifacts, the log in $log" >&2
    grep -E 'FUZZ_CHECK|ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 >&2 || true
    return 1
  fi
}

# The targets run side by side, at most one per core; any failure fails the whole run.
status=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  fuzz_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
phase_end "fuzz runs"
exit "$status"
