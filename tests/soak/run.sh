#!/usr/bin/env bash
# The soak run (./tide soak [seconds], inside a private network namespace): continuous
# text and binary traffic for the given time (default 180 s) with every delivery checked
# and the resident memory sampled, then the same traffic for a third of that time (at
# least 20 s) under valgrind's leak check. Fails on a wrong delivery, memory that grew,
# or any leak.
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
SOAK_SECONDS="${2:-180}"
LEAK_SECONDS=$(( SOAK_SECONDS / 3 ))
[ "$LEAK_SECONDS" -ge 20 ] || LEAK_SECONDS=20
TEST="$BUILD/tests/reliability/soak_test"
export TIDE_PLUGIN_DIR="$BUILD/plugins"

printf '\033[1m==> soak: %s s of traffic\033[0m\n' "$SOAK_SECONDS"
TIDE_SOAK_SECONDS="$SOAK_SECONDS" "$TEST" --gtest_filter='Soak.*'

printf '\033[1m==> leak check: %s s of traffic under valgrind --leak-check=full\033[0m\n' "$LEAK_SECONDS"
TIDE_SOAK_SECONDS="$LEAK_SECONDS" valgrind --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=1 "$TEST" --gtest_filter='Soak.*'
printf '\033[1m==> soak passed: no wrong delivery, memory flat, no leak\033[0m\n'
