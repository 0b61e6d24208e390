#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with ASan and UBSan) in build-fuzz and runs each one
# for the given number of seconds (default 20). Fails when a target finds a crash, a failed
# check, a leak or a hang; the input that did it is kept in build-fuzz/artifacts/<target>/.
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-20}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_header fuzz_settings fuzz_chm fuzz_serialline)
build="$here/build-fuzz"
jobs="${GLIMORA_JOBS:-$(nproc)}"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DGLIMORA_FUZZ=ON -DGLIMORA_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# A small quarantine keeps the allocator reusing memory instead of faulting in fresh pages,
# which makes the allocation-heavy targets several times faster. The fast unwinder records
# stray frames inside Qt, so ASan's store of allocation stacks grows by some 20 KB for each
# fuzz_settings input (not a leak: the same loop without ASan stays flat); the memory limit
# below leaves room for runs of an hour.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

status=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  seeds="$here/fuzz/corpus/$target"
  extra=()
  max_len=4096
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
  log="$build/artifacts/$target.log"
  echo "== $target: ${seconds}s"
  if ( cd "$artifacts" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=4096 \
         -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" "${extra[@]}" \
         "$work" "$seeds" ) >"$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" |
      sed 's/^/   /' || true
  else
    status=1
    echo "!! $target failed; the input is in $artifacts, the log in $log" >&2
    grep -E 'FUZZ_CHECK|ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -20 >&2 || true
  fi
done
exit "$status"
