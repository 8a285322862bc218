#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build (./tide fuzz, ./tide test).
#   fuzz/run.sh BUILD_DIR SECONDS        each target for that long, from the seeds and the
#                                        corpus kept in BUILD_DIR/fuzz-corpus
#   fuzz/run.sh BUILD_DIR --runs N       each target for N executions, from the seeds only
# New inputs go to BUILD_DIR, never into the repository; an input that crashes a target is
# kept in BUILD_DIR/fuzz-artifacts and the script fails. fuzz_delivery enters a private
# network namespace of its own before it opens a socket.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "$1" && pwd)"
shift
MODE=time
LIMIT="${1:-60}"
if [ "${1:-}" = "--runs" ]; then
    MODE=runs
    LIMIT="${2:?--runs needs a count}"
fi

source "$ROOT/fuzz/targets.sh"

failed=0
for target in "${FUZZ_TARGETS[@]}"; do
    binary="$BUILD/fuzz/$target"
    seeds="$ROOT/fuzz/corpus/${SEEDS[$target]}"
    artifacts="$BUILD/fuzz-artifacts"
    mkdir -p "$artifacts"
    if [ "$MODE" = runs ]; then
        corpus="$(mktemp -d)"
        limit_args=(-runs="$LIMIT")
    else
        corpus="$BUILD/fuzz-corpus/$target"
        mkdir -p "$corpus"
        limit_args=(-max_total_time="$LIMIT")
    fi
    log="$BUILD/fuzz-$target.log"
    dict="$ROOT/fuzz/${SEEDS[$target]#fuzz_}.dict"
    status=0
    # shellcheck disable=SC2086
    TIDE_PLUGIN_DIR="$BUILD/plugins" "$binary" "${limit_args[@]}" -max_len="${MAX_LEN[$target]}" ${EXTRA[$target]} \
        -dict="$dict" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$corpus" "$seeds" >"$log" 2>&1 || status=$?
    [ "$MODE" = runs ] && rm -rf "$corpus"
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    seconds="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)"
    if [ "$status" -ne 0 ]; then
        echo "$target: FAILED after ${executions:-?} executions; see $log and $artifacts"
        grep -m5 -E 'ERROR|fault:|SUMMARY' "$log" || true
        failed=1
    else
        rate=""
        if [ -n "${executions:-}" ] && [ "${seconds:-0}" -gt 0 ]; then rate=" ($((executions / seconds)) a second)"; fi
        echo "$target: ${executions:-?} executions in ${seconds:-?} s${rate}, nothing found"
    fi
done
exit "$failed"
