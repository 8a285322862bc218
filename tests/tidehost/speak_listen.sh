#!/bin/sh
# The examples across processes: speak.lua sends a text and a file to a group on which
# listen.lua listens; the text is printed with its header fields and the file written
# out intact. Then the same through relay.lua, which forwards binary messages from one
# group to another; then texts too long for a command line, from a file and from
# standard input; then what the examples refuse to be given, and a listener that cannot
# write out what it got. Run by tide_in_private_network with the tidehost binary as $1
# and the examples folder as $2.
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
# The file's message, named after its sender and number.
sender="$(sed -n 's/^text #1 \[1\/1\] from \([0-9.]*:[0-9]*\),.*/\1/p' "$WORK/listen.out")"
received="$WORK/received-$(echo "$sender" | tr : _)-2.bin"
grep -qxF "binary message #2 from $sender of 200003 bytes -> $received" "$WORK/listen.out" ||
    fail "the file's message: $(cat "$WORK/listen.out")"
cmp -s "$WORK/file.bin" "$received" || fail "the file arrived changed"
grep -qF "stopped: 1 text datagram, 1 binary message" "$WORK/listen.out" ||
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
cmp -s "$WORK/file.bin" "$WORK"/relayed-*-1.bin || fail "the relayed file arrived changed"

# Every example answers --help with its usage and status 0.
for example in speak listen relay demo; do
    "$TIDEHOST" "$EXAMPLES/$example.lua" --help >"$WORK/help.out" 2>&1 || fail "$example.lua --help failed"
    grep -qF "usage: tidehost $example.lua" "$WORK/help.out" || fail "$example.lua --help: $(cat "$WORK/help.out")"
done
# A file that cannot be read fails the run and takes no message number: the text after it
# is numbered as the listener sees it.
"$TIDEHOST" "$EXAMPLES/speak.lua" a --file "$WORK/missing.bin" b >"$WORK/missing.out" 2>"$WORK/missing.err"
[ $? -eq 1 ] || fail "speak.lua with a missing file does not fail"
grep -qxF "speak.lua: cannot send $WORK/missing.bin: No such file or directory" "$WORK/missing.err" ||
    fail "the reason for a missing file: $(cat "$WORK/missing.err")"
# A device is refused with the reason, not only "cannot".
"$TIDEHOST" "$EXAMPLES/speak.lua" --file /dev/zero >/dev/null 2>"$WORK/device.err"
grep -qxF "speak.lua: cannot send /dev/zero: not a regular file (a device, a pipe)" "$WORK/device.err" ||
    fail "the reason for a device: $(cat "$WORK/device.err")"
grep -q "^sent text #2 to .*: 1 character, data_tsize 4, in 1 datagram" "$WORK/missing.out" ||
    fail "the text after a missing file: $(cat "$WORK/missing.out")"

# A text of 180000 bytes from a file (more than one command-line word may hold), one from
# standard input, and one that starts like an option: each arrives as it was, the long
# one in the fragments listen.lua prints, in order.
awk 'BEGIN { for (k = 0; k < 15000; k++) printf "%09d ü", k }' >"$WORK/long.txt"
"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.4 --port 46404 --messages 20 --seconds 30 \
    >"$WORK/listen3.out" 2>"$WORK/listen3.err" &
BACKGROUND=$!
wait_for "$WORK/listen3.out" "listening on" 20 "$WORK/listen3.err"
printf 'from standard input' | "$TIDEHOST" "$EXAMPLES/speak.lua" -g 239.255.64.4 --port=46404 \
    --text-file "$WORK/long.txt" -t - --text --repeat -- -dash >"$WORK/speak3.out" 2>&1 ||
    fail "speak.lua with texts from a file and standard input: $(cat "$WORK/speak3.out")"
wait $BACKGROUND || fail "listen.lua for the long text failed: $(cat "$WORK/listen3.err")"
BACKGROUND=""
grep -qF "sent text #1 ($WORK/long.txt) to 239.255.64.4:46404: 165000 characters, data_tsize 330002, in 17 datagrams, each 1 time" \
    "$WORK/speak3.out" || fail "speak.lua on the long text: $(cat "$WORK/speak3.out")"
grep -qF "sent text #2 (standard input) to 239.255.64.4:46404: 19 characters, data_tsize 40, in 1 datagram, each 1 time" \
    "$WORK/speak3.out" || fail "speak.lua on standard input: $(cat "$WORK/speak3.out")"
sed -n 's/^text #1 \[[0-9]*\/17\] from [^:]*:[0-9]*, [^:]*: //p' "$WORK/listen3.out" | tr -d '\n' >"$WORK/long.received"
cmp -s "$WORK/long.txt" "$WORK/long.received" || fail "the long text arrived changed: $(cut -c 1-150 "$WORK/listen3.out")"
grep -qE '^text #2 \[1/1\] .*: from standard input$' "$WORK/listen3.out" ||
    fail "the text from standard input: $(cut -c 1-150 "$WORK/listen3.out")"
grep -qE '^text #3 \[1/1\] .*: --repeat$' "$WORK/listen3.out" || fail "--text --repeat: $(cut -c 1-150 "$WORK/listen3.out")"
grep -qE '^text #4 \[1/1\] .*: -dash$' "$WORK/listen3.out" || fail "-- -dash: $(cut -c 1-150 "$WORK/listen3.out")"

# What the examples refuse, each with one line that says why and status 2, before
# anything is sent or joined: a group that is no multicast group in dotted form, a port
# outside 1..65535, a negative duration or count.
refused() { # NAME EXPECTED-LINE EXAMPLE ARGS...: status 2, the one line on stderr, nothing on stdout
    name="$1" line="$2"
    shift 2
    "$TIDEHOST" "$@" >"$WORK/refused.out" 2>"$WORK/refused.err"
    status=$?
    [ "$status" -eq 2 ] && [ ! -s "$WORK/refused.out" ] && [ "$(wc -l <"$WORK/refused.err")" -eq 1 ] &&
        grep -qxF "$line" "$WORK/refused.err" ||
        fail "$name: status $status, out: $(cat "$WORK/refused.out"), err: $(cat "$WORK/refused.err")"
}
help="(speak.lua --help shows how to call it)"
group="takes a multicast group in dotted form, 224.0.0.0 to 239.255.255.255"
refused "speak.lua --group bogus" "speak.lua: --group $group, not \"bogus\" $help" \
    "$EXAMPLES/speak.lua" --group bogus hello
refused "speak.lua --group 10.0.0.1" "speak.lua: --group $group, not \"10.0.0.1\" $help" \
    "$EXAMPLES/speak.lua" --group 10.0.0.1 hello
refused "speak.lua --group 240.0.0.1" "speak.lua: --group $group, not \"240.0.0.1\" $help" \
    "$EXAMPLES/speak.lua" --group 240.0.0.1 hello
refused "speak.lua --group 239.255.0.256" "speak.lua: --group $group, not \"239.255.0.256\" $help" \
    "$EXAMPLES/speak.lua" --group 239.255.0.256 hello
refused "speak.lua --port 0" "speak.lua: --port takes a UDP port from 1 to 65535, not \"0\" $help" \
    "$EXAMPLES/speak.lua" --port 0 hello
refused "speak.lua --port 65536" "speak.lua: --port takes a UDP port from 1 to 65535, not \"65536\" $help" \
    "$EXAMPLES/speak.lua" --port 65536 hello
refused "speak.lua --repeat 0" "speak.lua: --repeat takes a count of 1 or more, not \"0\" $help" \
    "$EXAMPLES/speak.lua" --repeat 0 hello
refused "speak.lua -r=2" "speak.lua: unknown option -r=2 $help" "$EXAMPLES/speak.lua" -r=2 hello
refused "speak.lua -x" "speak.lua: unknown option -x $help" "$EXAMPLES/speak.lua" -x hello
refused "speak.lua -p=1" "speak.lua: unknown option -p=1 $help" "$EXAMPLES/speak.lua" -p=1 hello
refused "speak.lua --port=0" "speak.lua: --port takes a UDP port from 1 to 65535, not \"0\" $help" \
    "$EXAMPLES/speak.lua" --port=0 hello
refused "speak.lua -g" "speak.lua: -g takes a multicast group in dotted form, 224.0.0.0 to 239.255.255.255, not \"hi\" $help" \
    "$EXAMPLES/speak.lua" -g hi
refused "speak.lua --text-file" "speak.lua: --text-file needs a value $help" "$EXAMPLES/speak.lua" --text-file
refused "speak.lua --ttl 0" "speak.lua: --ttl takes a TTL from 1 to 255, not \"0\" $help" \
    "$EXAMPLES/speak.lua" --ttl 0 hello
refused "listen.lua --interface 10.199.0" \
    "listen.lua: --interface takes the dotted IPv4 address of an interface of this machine, not \"10.199.0\" (listen.lua --help shows how to call it)" \
    "$EXAMPLES/listen.lua" --interface 10.199.0
# An address no interface of this machine has: status 1, with the reason, nothing sent.
"$TIDEHOST" "$EXAMPLES/speak.lua" --interface 192.0.2.7 hello >"$WORK/noif.out" 2>"$WORK/noif.err"
status=$?
[ "$status" -eq 1 ] && [ ! -s "$WORK/noif.out" ] &&
    grep -qxF "speak.lua: no interface of this machine has the address 192.0.2.7" "$WORK/noif.err" ||
    fail "speak.lua --interface 192.0.2.7: status $status, out: $(cat "$WORK/noif.out"), err: $(cat "$WORK/noif.err")"
refused "listen.lua --seconds -1" \
    "listen.lua: --seconds takes a number of seconds, 0 or more, not \"-1\" (listen.lua --help shows how to call it)" \
    "$EXAMPLES/listen.lua" --seconds -1
refused "listen.lua --messages 0" \
    "listen.lua: --messages takes a count of 1 or more, not \"0\" (listen.lua --help shows how to call it)" \
    "$EXAMPLES/listen.lua" --messages 0
refused "relay.lua --to" "relay.lua: --to takes GROUP:PORT, a multicast group in dotted form and a UDP port from 1 to \
65535, not \"10.0.0.1:7001\" (relay.lua --help shows how to call it)" \
    "$EXAMPLES/relay.lua" --from 239.255.0.1:7001 --to 10.0.0.1:7001

# A listener that cannot write a binary message out says so and ends with status 1,
# having gone on listening: one message to a folder that is not there, one to a full
# device (the failure shows only when the file is closed; --force writes over what is
# there, here a link to /dev/full under the name the message gets).
ln -s /dev/full "$WORK/full-127.0.0.1_46409-1.bin"
for out in "$WORK/no-such-folder/message" "$WORK/full"; do
    # Output files of the round before are gone first: until the new listener's shell has
    # truncated them, the old "listening on" would start the sender before it joined.
    rm -f "$WORK/listen4.out" "$WORK/listen4.err"
    "$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.5 --port 46405 --messages 2 --seconds 30 --out "$out" \
        --force >"$WORK/listen4.out" 2>"$WORK/listen4.err" &
    BACKGROUND=$!
    wait_for "$WORK/listen4.out" "listening on" 20 "$WORK/listen4.err"
    # More than a C library's buffer, so that the write itself fails on the full device
    # (Windows' C library says nothing of a failure it meets only when it closes the file).
    SOURCE_PORT=46409 python3 "$(dirname "$0")/../tools/send_datagrams.py" 239.255.64.5 46405 <<'EOF' ||
0 1 30000 0 20480 2 1
0 1 30000 20480 9520 2 2
1 2 18 0 18 1 1 text=after it
EOF
        fail "send_datagrams.py to the listener that cannot write"
    wait $BACKGROUND
    status=$?
    BACKGROUND=""
    [ "$status" -eq 1 ] &&
        grep -qF "listen.lua: cannot write binary message #1 from 127.0.0.1:46409 of 30000 bytes: " "$WORK/listen4.err" &&
        grep -qF "listen.lua: 1 binary message not written out" "$WORK/listen4.err" &&
        grep -qF ": after it" "$WORK/listen4.out" ||
        fail "listen.lua --out $out: status $status, $(cat "$WORK/listen4.out" "$WORK/listen4.err")"
done

# Ctrl-C while speak.lua waits for standard input ends it with one line, not a traceback.
# (QEMU's user-mode emulation breaks a program that gets a signal, and under Windows a read
# of a pipe goes on until the pipe has something: those runs skip it.)
if [ -z "${TIDE_UNDER_EMULATION:-}" ] && [ "${TIDE_MODULE_SUFFIX:-.so}" != ".dll" ]; then
    mkfifo "$WORK/input"
    "$TIDEHOST" "$EXAMPLES/speak.lua" -g 239.255.64.8 -p 46408 first -t - <"$WORK/input" >"$WORK/ctrlc.out" \
        2>"$WORK/ctrlc.err" &
    BACKGROUND=$!
    exec 7>"$WORK/input"
    wait_for "$WORK/ctrlc.out" "sent text #1" 20 "$WORK/ctrlc.err"
    kill -INT $BACKGROUND
    wait $BACKGROUND
    status=$?
    BACKGROUND=""
    exec 7>&-
    [ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/ctrlc.err")" -eq 1 ] &&
        grep -qxF "speak.lua: interrupted while reading standard input; that text was not sent" "$WORK/ctrlc.err" ||
        fail "Ctrl-C while reading standard input: status $status, $(cat "$WORK/ctrlc.out" "$WORK/ctrlc.err")"
fi

# The interface and the TTL from the examples (QEMU 7.2's user-mode emulation refuses
# IP_MULTICAST_IF, which choosing an interface takes: those runs skip it).
if [ -z "${TIDE_UNDER_EMULATION:-}" ]; then
    # The interface from the examples: a listener joined on the private network's card hears
    # a speaker that sends by it, from the card's address.
    "$TIDEHOST" "$EXAMPLES/listen.lua" -g 239.255.64.10 -p 46412 -i 10.199.0.1 --messages 1 --seconds 30 \
        >"$WORK/card.out" 2>"$WORK/card.err" &
    BACKGROUND=$!
    wait_for "$WORK/card.out" "listening on" 20 "$WORK/card.err"
    "$TIDEHOST" "$EXAMPLES/speak.lua" -g 239.255.64.10 -p 46412 -i 10.199.0.1 -T 2 "by the card" >/dev/null 2>&1 ||
        fail "speak.lua -i 10.199.0.1"
    wait $BACKGROUND || fail "listen.lua -i 10.199.0.1: $(cat "$WORK/card.out" "$WORK/card.err")"
    BACKGROUND=""
    grep -qE '^text #1 \[1/1\] from 10\.199\.0\.1:[0-9]+, .*: by the card$' "$WORK/card.out" ||
        fail "the text by the card: $(cat "$WORK/card.out")"

    # The TTL from the examples, as the IP header carries it to a plain probe on Linux.
    python3 "$(dirname "$0")/../tools/ttl_probe.py" 239.255.64.11 46413 10.199.0.1 >"$WORK/ttl.out" 2>&1 &
    BACKGROUND=$!
    wait_for "$WORK/ttl.out" "joined" 20
    "$TIDEHOST" "$EXAMPLES/speak.lua" -g 239.255.64.11 -p 46413 -i 10.199.0.1 --ttl=9 "nine" >/dev/null 2>&1 ||
        fail "speak.lua --ttl=9"
    wait $BACKGROUND || fail "ttl_probe.py: $(cat "$WORK/ttl.out")"
    BACKGROUND=""
    grep -qxF "ttl 9 from 10.199.0.1" "$WORK/ttl.out" || fail "the TTL and the card on the wire: $(cat "$WORK/ttl.out")"
fi

# Never over a file that is there: the second message of the same name gets -2.
echo "there before" >"$WORK/kept-127.0.0.1_46410-1.bin"
"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.6 --port 46406 --messages 1 --seconds 30 \
    --out "$WORK/kept" >"$WORK/listen5.out" 2>"$WORK/listen5.err" &
BACKGROUND=$!
wait_for "$WORK/listen5.out" "listening on" 20 "$WORK/listen5.err"
echo "0 1 10 0 10 1 1" | SOURCE_PORT=46410 python3 "$(dirname "$0")/../tools/send_datagrams.py" 239.255.64.6 46406 ||
    fail "send_datagrams.py to 46406"
wait $BACKGROUND || fail "listen.lua beside a file that is there: $(cat "$WORK/listen5.out" "$WORK/listen5.err")"
BACKGROUND=""
[ "$(cat "$WORK/kept-127.0.0.1_46410-1.bin")" = "there before" ] && [ -s "$WORK/kept-127.0.0.1_46410-1-2.bin" ] ||
    fail "a file that was there: $(cat "$WORK/listen5.out")"

# Loss is never silent: a message begun and never completed, and numbers that never came,
# said at the end (also as JSON), and status 1.
"$TIDEHOST" "$EXAMPLES/listen.lua" --group 239.255.64.7 --port 46407 --seconds 2 --json \
    >"$WORK/listen6.out" 2>"$WORK/listen6.err" &
BACKGROUND=$!
wait_for "$WORK/listen6.out" '"kind":"listening"' 20 "$WORK/listen6.err"
SOURCE_PORT=46411 python3 "$(dirname "$0")/../tools/send_datagrams.py" 239.255.64.7 46407 <<'EOF' ||
1 1 6 0 6 1 1 text=ab
0 2 50000 0 20480 3 1
0 2 50000 40960 9040 3 3
1 5 6 0 6 1 1 text=cd
EOF
    fail "send_datagrams.py to 46407"
wait $BACKGROUND
status=$?
BACKGROUND=""
[ "$status" -eq 1 ] &&
    grep -qxF '{"kind":"incomplete","data_tsize":50000,"index":2,"remote_host":"127.0.0.1:46411","taken":2,"tcount":3}' \
        "$WORK/listen6.out" &&
    grep -qxF '{"kind":"missing","numbers":[3,4],"remote_host":"127.0.0.1:46411"}' "$WORK/listen6.out" &&
    grep -qF "listen.lua: 1 message began and never completed" "$WORK/listen6.err" ||
    fail "the losses: status $status, $(cat "$WORK/listen6.out" "$WORK/listen6.err")"
finish
