#!/bin/sh
# A Linux tidehost and a Windows tidehost.exe on one group, both ways: a text of several
# fragments in Greek and Chinese, and a file of several fragments, each arriving byte for
# byte as sent. Run inside the private network with the Linux tidehost and its modules
# folder, the Windows one (a launcher that calls Wine) and its modules folder.
LINUX="$1"
LINUX_PLUGINS="$2"
WINDOWS="$3"
WINDOWS_PLUGINS="$4"
SCRIPT="$(dirname "$0")/exchange.lua"
. "$(dirname "$0")/../support/checks.sh"
[ -x "$LINUX" ] || { echo "FAILED: no Linux tidehost at $LINUX (./tide build makes it)" >&2; exit 1; }

# About 31 000 characters of the Basic Multilingual Plane: four fragments of UTF-16.
line="Καλημέρα κόσμε, 你好，世界！ Grüße — "
: >"$WORK/text.txt"
i=0
while [ $i -lt 1000 ]; do printf '%s' "$line" >>"$WORK/text.txt"; i=$((i + 1)); done
# Some 100 KB of every byte value: five fragments, the last one short.
head -c 100007 /dev/urandom >"$WORK/file.bin"

# exchange FROM FROM_PLUGINS TO TO_PLUGINS PORT NAME
exchange() {
    mkdir -p "$WORK/$6"
    cp "$WORK/text.txt" "$WORK/file.bin" "$WORK/$6/"
    "$3" --plugins "$4" "$SCRIPT" receive 239.255.65.1 "$5" "$WORK/$6" >"$WORK/$6.receive" 2>&1 &
    BACKGROUND=$!
    wait_for "$WORK/$6.receive" listening 30
    "$1" --plugins "$2" "$SCRIPT" send 239.255.65.1 "$5" "$WORK/$6" >"$WORK/$6.send" 2>&1 ||
        fail "$6: the sender failed: $(cat "$WORK/$6.send")"
    wait $BACKGROUND || fail "$6: the receiver failed: $(cat "$WORK/$6.receive")"
    BACKGROUND=""
    grep -q "^stopped" "$WORK/$6.receive" || fail "$6: not everything came: $(cat "$WORK/$6.receive")"
    cmp -s "$WORK/text.txt" "$WORK/$6/text.out" || fail "$6: the text arrived changed"
    cmp -s "$WORK/file.bin" "$WORK/$6/file.out" || fail "$6: the file arrived changed"
}

exchange "$LINUX" "$LINUX_PLUGINS" "$WINDOWS" "$WINDOWS_PLUGINS" 46501 linux-to-windows
exchange "$WINDOWS" "$WINDOWS_PLUGINS" "$LINUX" "$LINUX_PLUGINS" 46502 windows-to-linux
finish
