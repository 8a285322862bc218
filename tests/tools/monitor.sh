#!/bin/sh
# The live monitor against senders that lose things on purpose: a Tidespeak whose numbers
# skip on the monitored port and whose long text comes twice, then a raw sender that
# leaves out a fragment of a text and of a binary message, repeats a datagram and skips a
# number, then one whose numbers wrap, then one whose fragment of a text comes after a
# later message closed that text as incomplete. The summary must name every planted gap,
# drop and repeat exactly, and the per-second lines must drop a sender that has been quiet
# for more than 3 seconds. Run by tide_in_private_network with the tidehost binary as $1
# and the source folder as $2.
TIDEHOST="$1"
SOURCE="$2"
. "$SOURCE/tests/support/checks.sh"
GROUP=239.255.66.1
PORT=46601
SEND="$SOURCE/tests/tools/send_datagrams.py"
# Long enough for a sender to fall quiet for more than 3 seconds before the end.
SECONDS_RUN=8

"$TIDEHOST" "$SOURCE/examples/monitor.lua" --group $GROUP --port $PORT --seconds $SECONDS_RUN >"$WORK/monitor.out" \
    2>"$WORK/monitor.err" &
BACKGROUND=$!
wait_for "$WORK/monitor.out" "monitoring $GROUP:$PORT for $SECONDS_RUN s"

head -c 50000 /dev/urandom >"$WORK/file.bin"
"$TIDEHOST" "$SOURCE/tests/tools/skipping_sender.lua" $GROUP $PORT 46602 "$WORK/file.bin" >"$WORK/sender.out" 2>&1 ||
    fail "skipping_sender.lua: $(cat "$WORK/sender.out")"
# Text #2 without its fragment 2, binary #3 without its fragment 1, text #5 twice, no #6.
python3 "$SEND" $GROUP $PORT <<'LINES' || fail "send_datagrams.py"
1 1 4 0 4 1 1 text=a
1 2 41002 0 20480 3 1 text=x
1 2 41002 40960 42 3 3 text=y
0 3 30000 20480 9520 2 2
0 4 100 0 100 1 1
1 5 4 0 4 1 1 text=b
1 5 4 0 4 1 1 text=b
1 7 4 0 4 1 1 text=c
LINES
python3 "$SEND" $GROUP $PORT <<'LINES' || fail "send_datagrams.py, wrapping"
1 2147483646 4 0 4 1 1 text=d
1 -2147483647 4 0 4 1 1 text=e
LINES
python3 "$SEND" $GROUP $PORT <<'LINES' || fail "send_datagrams.py, a fragment late"
1 1 41002 0 20480 3 1 text=x
1 1 41002 40960 42 3 3 text=y
1 2 4 0 4 1 1 text=z
1 1 41002 20480 20480 3 2 text=late
LINES
wait $BACKGROUND || fail "monitor.lua failed: $(cat "$WORK/monitor.err")"
BACKGROUND=""

sed -E 's/127\.0\.0\.1:[0-9]+/SENDER/' "$WORK/monitor.out" >"$WORK/out"
sed -n '/^summary after/,$p' "$WORK/out" | tail -n +2 >"$WORK/summary"
cat >"$WORK/expected" <<'EOF'
  SENDER: 8 text datagrams, 120020 payload bytes; texts complete 3, binary complete 1, incomplete 0, repeats 3; missing 2 (2, 5)
  SENDER: 6 text datagrams, 20538 payload bytes; texts complete 3, binary complete 1, incomplete 1 (2), repeats 1; missing 2 (3, 6)
  SENDER: 2 text datagrams, 8 payload bytes; texts complete 2, binary complete 0, incomplete 0, repeats 0; missing 2 (2147483647..-2147483648)
  SENDER: 4 text datagrams, 41006 payload bytes; texts complete 2, binary complete 0, incomplete 0, repeats 0; missing 0
  binary, any sender: complete 2, 50100 bytes
  6 numbers missing: lost, or binary messages left incomplete between two looks
EOF
diff "$WORK/expected" "$WORK/summary" >"$WORK/diff" || fail "the summary: $(cat "$WORK/diff")"
grep -qE "^summary after $SECONDS_RUN\\.[0-9] s \\(timeout\\):\$" "$WORK/out" || fail "the summary's head: $(cat "$WORK/out")"
# A report every second, each with a line at least.
for second in $(seq $SECONDS_RUN); do
    grep -qF "[   $second s] " "$WORK/out" || fail "no report of second $second: $(cat "$WORK/out")"
done
# A sender has a line every second from its first until 3 seconds after the last second
# it sent in, and none after, while the summary above keeps it; one at least left them.
sed -n -e 's/^\[ *\([0-9]*\) s\] binary, any sender: \([0-9]*\) .*/binary \1 \2/p' \
    -e 's/^\[ *\([0-9]*\) s\] \(127\.0\.0\.1:[0-9]*\): \([0-9]*\) .*/\2 \1 \3/p' "$WORK/monitor.out" |
    awk -v run=$SECONDS_RUN '{ if (!($1 in first)) first[$1] = $2; if ($3 > 0) heard[$1] = $2; seen[$1] = seen[$1] " " $2 }
         END { for (s in first) {
                   expected = ""
                   for (t = first[s]; t <= heard[s] + 3 && t <= run; t++) expected = expected " " t
                   if (seen[s] != expected) print s " in the seconds" seen[s] ", not" expected
                   if (heard[s] + 3 < run) left++
               }
               if (!left) print "no sender left the per-second lines" }' >"$WORK/quiet"
[ -s "$WORK/quiet" ] && fail "quiet senders: $(cat "$WORK/quiet"): $(cat "$WORK/monitor.out")"
# A binary message still being put together at one of the monitor's looks shows as
# incomplete: its sender's number line holds it with the fragments it had. As JSON lines.
"$TIDEHOST" "$SOURCE/examples/monitor.lua" -g $GROUP -p 46603 --seconds 3 --json >"$WORK/monitor2.out" \
    2>"$WORK/monitor2.err" &
BACKGROUND=$!
wait_for "$WORK/monitor2.out" '"kind":"monitoring"' 
python3 "$SEND" $GROUP 46603 <<'LINES' || fail "send_datagrams.py, a binary message left incomplete"
0 1 50000 0 20480 3 1
0 1 50000 40960 9040 3 3
LINES
wait $BACKGROUND || fail "monitor.lua failed: $(cat "$WORK/monitor2.err")"
BACKGROUND=""
grep -qE '^\{"kind":"sender","binary_bytes":0,"binary_complete":0,"bytes":0,"datagrams":0,"incomplete":\[1\],"missing":\[\],"missing_count":0,"remote_host":"127\.0\.0\.1:[0-9]+","repeats":0,"texts_complete":0\}$' \
    "$WORK/monitor2.out" || fail "the binary message left incomplete: $(cat "$WORK/monitor2.out")"

# The first sender's rates, whichever seconds its datagrams fell in, add up to what it sent.
first="$(grep -m1 -oE '127\.0\.0\.1:[0-9]+' "$WORK/monitor.out")"
grep -F "s] $first: " "$WORK/monitor.out" | sed -E 's/.*: ([0-9]+) datagrams\/s, ([0-9]+) B\/s;.*/\1 \2/' |
    awk '{ d += $1; b += $2 } END { print d, b }' >"$WORK/rates"
[ "$(cat "$WORK/rates")" = "8 120020" ] || fail "the first sender's rates add up to $(cat "$WORK/rates")"
[ -s "$WORK/monitor.err" ] && fail "monitor.lua reported: $(cat "$WORK/monitor.err")"

"$TIDEHOST" "$SOURCE/examples/monitor.lua" --help >"$WORK/help.out" 2>&1 || fail "monitor.lua --help failed"
grep -qF "usage: tidehost monitor.lua" "$WORK/help.out" && grep -qF "GetMessageInfo" "$WORK/help.out" ||
    fail "monitor.lua --help: $(cat "$WORK/help.out")"
"$TIDEHOST" "$SOURCE/examples/monitor.lua" --port 70000 >/dev/null 2>&1
[ $? -eq 2 ] || fail "monitor.lua with a bad port does not end with status 2"

finish
