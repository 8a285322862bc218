#!/bin/sh
# The examples across processes: speak.lua sends a text and a file to a group on which
# listen.lua listens; the text is printed with its header fields and the file written
# out intact. Then the same through relay.lua, which forwards binary messages from one
# group to another. Run by tide_in_private_network with the tidehost binary as $1 and
# the examples folder as $2.
TIDEHOST="$1"
EXAMPLES="$2"
. "$(dirname "$0")/../support/checks.sh"

# A file of some 200 KB of every byte value: ten fragments, the last one short.
head -c 200003 /dev/urandom >"$WORK/file.bin"

"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.1 --port 46401 --messages 2 --seconds 30 \
    --out "$WORK/received" >"$WORK/listen.out" 2>"$WORK/listen.err" &
BACKGROUND=$!
wait_for "$WORK/listen.out" "listening on 239.255.64.1:46401" 20 "$WORK/listen.err"
"$TIDEHOST" "$EXAMPLES/speak.lua" --group 239.255.64.1 --port 46401 "Grüße über Prozesse" \
    --file "$WORK/file.bin" >"$WORK/speak.out" 2>&1 || fail "speak.lua failed: $(cat "$WORK/speak.out")"
wait $BACKGROUND || fail "listen.lua failed: $(cat "$WORK/listen.err")"
BACKGROUND=""
grep -qE '^text #1 \[1/1\] from 127\.0\.0\.1:[0-9]+, data_tsize 40, data_offset 0, data_size 40: Grüße über Prozesse$' \
    "$WORK/listen.out" || fail "the text with its header fields: $(cat "$WORK/listen.out")"
grep -qF "binary message of 200003 bytes -> $WORK/received-1.bin" "$WORK/listen.out" ||
    fail "the file's message: $(cat "$WORK/listen.out")"
cmp -s "$WORK/file.bin" "$WORK/received-1.bin" || fail "the file arrived changed"
grep -qF "stopped: 1 text datagram(s), 1 binary message(s)" "$WORK/listen.out" ||
    fail "listen.lua's summary: $(cat "$WORK/listen.out")"
[ -s "$WORK/listen.err" ] && fail "listen.lua reported: $(cat "$WORK/listen.err")"

# speak.lua -> relay.lua (239.255.64.2 to 239.255.64.3) -> listen.lua
"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.3 --port 46403 --messages 1 --seconds 30 \
    --out "$WORK/relayed" >"$WORK/listen2.out" 2>&1 &
LISTENER=$!
"$TIDEHOST" "$EXAMPLES/relay.lua" --from 239.255.64.2:46402 --to 239.255.64.3:46403 --messages 1 --seconds 30 \
    >"$WORK/relay.out" 2>&1 &
RELAY=$!
BACKGROUND="$LISTENER $RELAY"
wait_for "$WORK/listen2.out" "listening on"
wait_for "$WORK/relay.out" "relaying"
"$TIDEHOST" "$EXAMPLES/speak.lua" --group 239.255.64.2 --port 46402 --file "$WORK/file.bin" >/dev/null 2>&1 ||
    fail "speak.lua failed"
wait $RELAY || fail "relay.lua failed: $(cat "$WORK/relay.out")"
wait $LISTENER || fail "listen.lua behind the relay failed: $(cat "$WORK/listen2.out")"
BACKGROUND=""
cmp -s "$WORK/file.bin" "$WORK/relayed-1.bin" || fail "the relayed file arrived changed"

# Every example answers --help with its usage and status 0.
for example in speak listen relay demo; do
    "$TIDEHOST" "$EXAMPLES/$example.lua" --help >"$WORK/help.out" 2>&1 || fail "$example.lua --help failed"
    grep -qF "usage: tidehost $example.lua" "$WORK/help.out" || fail "$example.lua --help: $(cat "$WORK/help.out")"
done
"$TIDEHOST" "$EXAMPLES/speak.lua" --file "$WORK/missing.bin" >/dev/null 2>&1
[ $? -eq 1 ] || fail "speak.lua with a missing file does not fail"
finish
