#!/usr/bin/env bash
# Builds the libFuzzer targets in the clang sanitizer build (AddressSanitizer and
# UndefinedBehaviorSanitizer, scripts/sanitize_build.sh) and runs each on its committed seed
# corpus for a short time: fuzz_smoke.sh [SECONDS], 20 by default.
# New inputs go to a scratch folder, never into fuzz/corpus/. A crash, a sanitizer report, a
# timeout or a memory blow-up fails the run; the input that caused it is kept and named.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

scripts/sanitize_build.sh --target pellix_fuzzers

targets=()
for corpus in fuzz/corpus/*/; do
  targets+=("$(basename "$corpus")")
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pellix_fuzz_smoke.XXXXXX")

# One fuzzer on its corpus; its verdict in $work/<target>.verdict.
fuzz_one() {
  local target=$1 log="$work/$1.log"
  mkdir -p "$work/$target"
  if build/sanitize/fuzz/pellix_fuzz_"$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/$target-" \
    "$work/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "fuzz_smoke: $target: ${runs:-?} runs, ${edges:-cov: ?} edges" >"$work/$target.verdict"
  else
    echo "FAILED" >"$work/$target.verdict"
  fi
}

# As many fuzzers at once as there are cores: each is one process on one core.
jobs=$(nproc)
for target in "${targets[@]}"; do
  while [ "$(jobs -r | wc -l)" -ge "$jobs" ]; do wait -n; done
  fuzz_one "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
  if [ "$(cat "$work/$target.verdict")" = FAILED ]; then
    tail -n 40 "$work/$target.log" >&2
    echo "fuzz_smoke: $target FAILED; input kept in $work, log $work/$target.log" >&2
    failed+=("$target")
  else
    cat "$work/$target.verdict"
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz_smoke: failed: ${failed[*]}" >&2
  exit 1
fi
rm -rf "$work"
