#!/usr/bin/env bash
# Line coverage of receiver/ and of the text converter that the fuzz corpora reach, by
# clang's source-based coverage (./tide coverage).
#   fuzz/coverage.sh COVERAGE_BUILD [QUEUE_CORPUS]
# Runs every input of the seed corpora, and of QUEUE_CORPUS (the corpus a long run of
# fuzz_delivery_queue grew, build/fuzz-fast/fuzz-corpus/fuzz_delivery_queue by default),
# once through the targets of a build with coverage instrumentation, then reports.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(cd "$1" && pwd)"
QUEUE_CORPUS="${2:-$ROOT/build/fuzz-fast/fuzz-corpus/fuzz_delivery_queue}"
profiles="$BUILD/coverage-profiles"
rm -rf "$profiles"
mkdir -p "$profiles"
run() {
    local target="$1"
    shift
    # %m: the executable and each module write profiles of their own.
    LLVM_PROFILE_FILE="$profiles/$target-%m-%p.profraw" TIDE_PLUGIN_DIR="$BUILD/plugins" \
        "$BUILD/fuzz/$target" -runs=0 -max_len=41100 "$@" >"$BUILD/coverage-$target.log" 2>&1
}
queue_inputs=()
[ -d "$QUEUE_CORPUS" ] && queue_inputs=("$QUEUE_CORPUS")
run fuzz_delivery_queue "${queue_inputs[@]}" "$ROOT/fuzz/corpus/fuzz_delivery"
run fuzz_delivery "$ROOT/fuzz/corpus/fuzz_delivery"
run fuzz_member_calls "$ROOT/fuzz/corpus/fuzz_member_calls"
run fuzz_text_converter "$ROOT/fuzz/corpus/fuzz_text_converter"
llvm-profdata merge -sparse "$profiles"/*.profraw -o "$BUILD/coverage.profdata"
objects=(-object "$BUILD/plugins/Tidelisten.so" -object "$BUILD/plugins/Tidespeak.so")
for target in fuzz_delivery_queue fuzz_delivery fuzz_member_calls fuzz_text_converter; do
    objects+=(-object "$BUILD/fuzz/$target")
done
llvm-cov report "${objects[@]:1}" -instr-profile="$BUILD/coverage.profdata" \
    "$ROOT"/receiver/*.cpp "$ROOT/framework/text_converter.cpp" "$ROOT/framework/iconv_calls.cpp"
