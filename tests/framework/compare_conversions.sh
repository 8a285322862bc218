#!/bin/sh
# The Linux converter and the Windows converter give the same answers for the table of
# conversion_table.cpp: the same bytes, and the same "all converted" or "not all".
#   compare_conversions.sh LINUX_TABLE WINE_LAUNCHER WINDOWS_TABLE SEED_DIR
# One difference is the libraries' own and is left out of the comparison (the README's
# departures say so): the bytes that the Windows code pages 1252 and 1251 leave undefined
# (81 8D 8F 90 9D; 98) are the C1 controls of the same value to Windows, and invalid to
# the C library.
set -eu
linux="$1" wine="$2" windows="$3" seeds="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Drops the rows whose input holds a byte one code page leaves undefined.
comparable() {
    awk '
        function holds(hex, bytes,   i) {
            for (i = 1; i < length(hex); i += 2)
                if (index(bytes, " " substr(hex, i, 2) " ")) return 1
            return 0
        }
        $1 == "WINDOWS-1252>wire" && holds($2, " 81 8d 8f 90 9d ") { next }
        $1 == "CP1251>wire" && holds($2, " 98 ") { next }
        { print }'
}

LC_ALL=C.UTF-8 "$linux" "$seeds" > "$work/linux.all"
"$wine" "$windows" "$seeds" | tr -d '\r' > "$work/windows.all"
comparable < "$work/linux.all" > "$work/linux"
comparable < "$work/windows.all" > "$work/windows"
rows="$(wc -l < "$work/linux")"
[ "$rows" -gt 1000 ] || { echo "the Linux table has only $rows rows"; exit 1; }
[ "$(wc -l < "$work/linux.all")" -eq "$(wc -l < "$work/windows.all")" ] || {
    echo "the tables differ in length"; exit 1; }
if ! diff "$work/linux" "$work/windows" > "$work/diff"; then
    echo "the two platforms convert differently ($(grep -c '^<' "$work/diff") of $rows rows; < Linux, > Windows):"
    head -n 60 "$work/diff"
    exit 1
fi

# Every other name win_iconv takes for UTF-8 as a source reads as "UTF-8" does: its own
# options after "//" change nothing on the source side.
spellings=0
for spelling in utf8 65001 cp65001 XX65001 UTF-8//TRANSLIT utf8//IGNORE CP65001//NOCOMPAT 65001//TRANSLIT//IGNORE; do
    grep '^UTF-8>wire ' "$work/linux.all" > "$work/linux.utf8"
    "$wine" "$windows" --utf8-spelling "$spelling" "$seeds" | tr -d '\r' > "$work/windows.utf8"
    if ! diff "$work/linux.utf8" "$work/windows.utf8" > "$work/diff"; then
        echo "from \"$spelling\", Windows converts differently from UTF-8 on Linux (< Linux, > Windows):"
        head -n 40 "$work/diff"
        exit 1
    fi
    spellings=$((spellings + 1))
done
echo "$rows conversions alike on both platforms ($(($(wc -l < "$work/linux.all") - rows)) with a byte a code page leaves undefined left out), and the UTF-8 rows alike from $spellings other names of UTF-8"
