#!/usr/bin/env bash
# Builds the fuzz targets (CMake preset "fuzz") and runs each for a bounded
# time from its seed corpus.  Fails when a target finds a crash, a hang, a
# leak or an out-of-memory input; the input that did it is kept under
# <build>/artifacts/.
#
#   bash fuzz/run_fuzz.sh [seconds per target]    (default 60)
#
# FUZZ_BUILD_DIR overrides the build directory (default build/fuzz);
# FUZZ_TARGETS names the targets to run (default: all five).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build/fuzz}
targets=${FUZZ_TARGETS:-"fuzz_fixed_read fuzz_free_read fuzz_load fuzz_translation fuzz_any"}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target $targets

status=0
for target in $targets; do
  # New inputs go to a scratch corpus; the committed seeds stay as they are.
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  echo "== $target, ${seconds}s"
  if ! "$build/fuzz/$target" "$work" "fuzz/corpus/$target" \
      -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=1024 -print_final_stats=1 -dict=fuzz/cdbbem.dict \
      -artifact_prefix="$artifacts/" >"$build/$target.log" 2>&1; then
    status=1
    echo "$target FAILED; its log: $build/$target.log"
    grep -E 'ERROR|runtime error|Test unit written' "$build/$target.log" | head -20 || true
  fi
  # The last status line: runs, coverage, executions per second.
  grep -E '^#[0-9]+' "$build/$target.log" | tail -1 || true
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' \
    "$build/$target.log" || true
done
exit $status
