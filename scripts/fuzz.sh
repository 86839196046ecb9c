#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset: clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for FUZZ_SECONDS seconds (30 by
# default), starting from its seeds in fuzz/corpus/<target>. What a run learns
# is kept in build/fuzz/corpus/<target>; an input that crashes a target is
# written to build/fuzz/findings/<target>/ and its log to build/fuzz/logs/.
# Prints the executions and findings of every target; fails if any target
# found something.
#
#   scripts/fuzz.sh [TARGET...]     all targets when none is named
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(fuzz_catalogue fuzz_mapping_tables fuzz_mode_switch fuzz_version_compare
           fuzz_echo_mask fuzz_copy fuzz_connection fuzz_operations)
fi

if ! command -v clang++-14 >/dev/null; then bash scripts/install-deps.sh; fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

found=0
summary=()
for target in "${targets[@]}"; do
  corpus="build/fuzz/corpus/$target"
  findings="build/fuzz/findings/$target"
  log="build/fuzz/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  echo "== $target: ${seconds} s"
  status=0
  "build/fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  executions=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
  per_second=$(awk '/stat::average_exec_per_sec/ {print $2}' "$log")
  units=$(find "$corpus" -type f | wc -l)
  if ((status != 0)); then
    found=1
    result="FOUND (exit $status): $(grep -m1 -E 'ERROR:|runtime error:' "$log" || echo 'see log')"
    echo "   $result"
    grep -m1 -E 'Test unit written to' "$log" || true
  else
    result="no findings"
  fi
  summary+=("$(printf '%-22s %10s executions  %6s/s  %5s corpus units  %s' \
    "$target" "${executions:-?}" "${per_second:-?}" "$units" "$result")")
done

echo
echo "Fuzzing summary (${seconds} s per target):"
printf '  %s\n' "${summary[@]}"
exit "$found"
