#!/usr/bin/env bash
# Runs the libFuzzer targets of the `fuzz` preset, one after the other, for
# SECONDS each (default 10) with a 2 GB memory limit: scripts/fuzz.sh
# [SECONDS] [TARGET...]. Each starts from its committed seeds
# (fuzz/corpus/<target>) and what earlier runs found (build/fuzz/corpus/
# <target>, where new inputs go); a crash is kept in build/fuzz/crashes/
# <target>/ and fails the script. Build first:
#   cmake --preset fuzz && cmake --build --preset fuzz --target stipplex_fuzzers
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_png fuzz_exr fuzz_preset fuzz_stored_defaults fuzz_param_value fuzz_sequence_data)
fi

status=0
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  work=build/fuzz/corpus/$name
  crashes=build/fuzz/crashes/$name
  mkdir -p "$work" "$crashes"
  log=build/fuzz/$target.log
  echo "== $target: ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build/fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -malloc_limit_mb=2048 -timeout=25 -print_final_stats=1 -artifact_prefix="$crashes/" \
      "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    echo "error: $target failed (log: $log, input: $crashes/)" >&2
    tail -n 30 "$log" >&2
    status=1
    continue
  fi
  # The run's counts: executions, peak memory, corpus size.
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" | tr '\n' ' '
  echo "corpus $(ls "$work" | wc -l) + $(ls "fuzz/corpus/$name" | wc -l) seeds"
done
exit $status
