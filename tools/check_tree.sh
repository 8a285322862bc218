#!/usr/bin/env bash
# What the tree keeps to besides its tests: every C++ file formatted by the root's
# .clang-format, and each layer including only the layers beneath it (host <- framework
# <- receiver and sender, host <- emulator <- tidehost; the sender takes the datagram
# format from the receiver). The build holds each layer to the same rule (its include folder
# has only what it may include: tide_layer_includes in CMakeLists.txt); this says it sooner.
# Warnings are kept out by the test builds (-DTIDE_WERROR=ON).
#   tools/check_tree.sh        (from anywhere; exit 1 on any finding)
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
failed=0

if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror 2>/tmp/tide-format.$$; then
    echo "not formatted as .clang-format says (clang-format -i fixes it):"
    grep -E '^[^ ].*(warning|error):' /tmp/tide-format.$$ | cut -d: -f1,2 | sort -u | head -n 40
    failed=1
fi
rm -f /tmp/tide-format.$$

# allowed FOLDER PATTERN...: the project includes a file of FOLDER may name.
check_layer() {
    local folder="$1"
    shift
    local pattern
    pattern="$(printf '%s|' "$@")"
    pattern="${pattern%|}"
    while IFS= read -r line; do
        echo "$line: $folder may include only ${*}"
        failed=1
    done < <(git ls-files "$folder/*.cpp" "$folder/*.h" |
        { [ "$folder" = emulator ] && grep -v '^emulator/tidehost/' || cat; } |
        xargs grep -nE '^#include "' | grep -vE "#include \"($pattern)")
}
check_layer host 'host/'
check_layer framework 'host/' 'framework/'
check_layer receiver 'host/' 'framework/' 'receiver/'
check_layer sender 'host/' 'framework/' 'sender/' 'receiver/datagram\.h'
check_layer emulator 'host/' 'emulator/[a-z_]+\.h'
check_layer emulator/tidehost 'host/' 'emulator/'

[ "$failed" -eq 0 ] && echo "format and layers: clean"
exit "$failed"
