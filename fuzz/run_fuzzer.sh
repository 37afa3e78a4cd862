#!/usr/bin/env bash
# Runs one fuzz target of the `fuzz` preset on its seed corpus and past
# findings, with the token dictionary, and fails on any crash, leak or
# sanitizer report. New inputs go to build/fuzz/work/TARGET, never into the
# source tree; a finding is written to build/fuzz/findings/, the whole log to
# build/fuzz/logs/TARGET.log.
#   fuzz/run_fuzzer.sh TARGET [libFuzzer options...]
# The defaults (a fixed seed, 60 s) can be overridden, e.g. -runs=10000000.
set -euo pipefail
cd "$(dirname "$0")/.."

target=$1
shift
case $target in
  decode_block | roundtrip) max_len=1024 ;;
  *) max_len=4096 ;;
esac
work=build/fuzz/work/$target
findings=build/fuzz/findings
log=build/fuzz/logs/$target.log
mkdir -p "$work" "$findings" "$(dirname "$log")"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
"build/fuzz/fuzz/fuzz_$target" -seed=1 -max_total_time=60 -max_len=$max_len -timeout=10 -rss_limit_mb=2048 \
  -dict=fuzz/ls11.dict -print_final_stats=1 -artifact_prefix="$findings/$target-" "$@" \
  "$work" "fuzz/corpus/$target" "fuzz/regressions/$target" >"$log" 2>&1 || status=$?
if [ $status -ne 0 ]; then
  tail -n 80 "$log"
  echo "fuzz_$target: finding (exit status $status), see $log and $findings/"
  exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" | sed "s/^/fuzz_$target: /"
