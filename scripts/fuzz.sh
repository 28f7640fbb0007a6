#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a set time each and prints the executions.
#   scripts/fuzz.sh BUILD_FOLDER SECONDS [TARGET...]
# New inputs the fuzzer finds go to a scratch folder; the tree's corpus is only read. A
# crash stops with its input saved as BUILD_FOLDER/fuzz/crash-<target>-*: add it to
# fuzz/corpus/<target>/ once the fault is mended, so the suite replays it.
set -euo pipefail
build=$1
seconds=$2
shift 2
cd "$(dirname "$0")/.."
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for program in "$build"/fuzz/*_fuzz; do targets+=("$(basename "${program%_fuzz}")"); done
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
printf '%-22s %14s %10s\n' target executions result
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  log=$scratch/$target.log
  # Undefined behaviour counts as a failure, as it does in the suite's sanitizer run.
  if UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$build/fuzz/crash-$target-" "$scratch/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    result=clean
  else
    result=FAILED
    status=1
    tail -n 40 "$log" >&2
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-22s %14s %10s\n' "$target" "${runs:-?}" "$result"
done
exit $status
