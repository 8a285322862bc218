#!/usr/bin/env bash
# One long run of a fuzz target for volume (./tide fuzz-long): RUNS inputs in a build with
# the fuzzer's coverage only, no sanitizers, for speed; then every input of the corpus it
# grew once more through the same target of the sanitized fuzz build, so that what the
# fast run reached is also checked by AddressSanitizer and UBSan.
#   fuzz/long_run.sh FAST_BUILD SANITIZED_BUILD TARGET RUNS   (RUNS inputs; "7200s": seconds)
# The corpus stays in FAST_BUILD/fuzz-corpus/TARGET; crashes go to FAST_BUILD/fuzz-artifacts
# and the script fails.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FAST="$(cd "$1" && pwd)"
SANITIZED="$(cd "$2" && pwd)"
target="${3:?a target}"
RUNS="${4:?a number of inputs}"
if [[ "$RUNS" == *s ]]; then limit=(-max_total_time="${RUNS%s}"); else limit=(-runs="$RUNS"); fi
source "$ROOT/fuzz/targets.sh"
[ -n "${SEEDS[$target]:-}" ] || { echo "no fuzz target $target (${FUZZ_TARGETS[*]})"; exit 2; }
seeds="$ROOT/fuzz/corpus/${SEEDS[$target]}"
dict="$ROOT/fuzz/${SEEDS[$target]#fuzz_}.dict"
corpus="$FAST/fuzz-corpus/$target"
artifacts="$FAST/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
log="$FAST/fuzz-long-$target.log"
started=$(date +%s)
status=0
# shellcheck disable=SC2086
TIDE_PLUGIN_DIR="$FAST/plugins" "$FAST/fuzz/$target" "${limit[@]}" -max_len="${MAX_LEN[$target]}" \
    ${EXTRA[$target]} -timeout=60 -rss_limit_mb=4096 -dict="$dict" -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
seconds=$(( $(date +%s) - started ))
executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
coverage="$(sed -n 's/^#[0-9]*[[:space:]]*DONE .*cov: \([0-9]*\) .*/\1/p' "$log" | tail -1)"
if [ "$status" -ne 0 ]; then
    echo "$target: FAILED after ${executions:-?} executions; see $log and $artifacts"
    grep -m5 -E 'ERROR|fault:|SUMMARY' "$log" || true
    exit 1
fi
echo "$target: ${executions:-?} executions in $seconds s ($(( ${executions:-0} / (seconds > 0 ? seconds : 1) )) a second)," \
     "${coverage:-?} edges, nothing found; corpus of $(ls "$corpus" | wc -l) inputs"

replay="$FAST/fuzz-replay-$target.log"
TIDE_PLUGIN_DIR="$SANITIZED/plugins" "$SANITIZED/fuzz/$target" -runs=0 -detect_leaks=0 -max_len="${MAX_LEN[$target]}" \
    -timeout=60 -rss_limit_mb=4096 -artifact_prefix="$artifacts/$target-sanitized-" "$corpus" >"$replay" 2>&1 \
    || { echo "the corpus under the sanitizers: FAILED; see $replay"; grep -m5 -E 'ERROR|fault:|SUMMARY' "$replay" || true; exit 1; }
echo "the corpus under AddressSanitizer and UBSan: every input once, nothing found"
