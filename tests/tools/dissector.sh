#!/bin/sh
# The capture dissector read by tshark. First a capture made here of other protocols' UDP
# traffic, malformed packets and datagrams of our size that are not ours included: loading
# the dissector must change nothing about it. Then a capture of loopback while speak.lua
# sends a text and a file of three fragments to port 7001 (Wireshark's RX/AFS port), and a
# raw sender sends datagrams a receiver drops and malformed texts a receiver hands over.
# Every field must come out as sent, each malformed datagram with the expert info that
# names its fault, every text as listen.lua got it from a receiver, and nothing malformed
# may be taken for ours unless a port is forced. Run by tide_in_private_network (as root:
# capturing needs it) with the tidehost binary as $1 and the source folder as $2.
TIDEHOST="$1"
SOURCE="$2"
DISSECTOR="$SOURCE/tools/wireshark/tide.lua"
. "$SOURCE/tests/support/checks.sh"
GROUP=239.255.65.1

# A home of its own: no preferences or personal plugins of whoever runs the test.
tshark_read() {
    HOME="$WORK" tshark -r "$WORK/capture.pcapng" -X lua_script:"$DISSECTOR" "$@" 2>"$WORK/tshark.err"
}
# The same for another capture, with or without the dissector: CAPTURE OUTPUT WITH|WITHOUT ARGS...
tshark_on() {
    capture="$1" output="$2" load=""
    [ "$3" = with ] && load="-X lua_script:$DISSECTOR"
    shift 3
    HOME="$WORK" tshark -r "$capture" $load "$@" >"$output" 2>>"$WORK/tshark.err"
}
# One line per datagram: the header fields, the text and the expert messages.
fields() {
    tshark_read -T fields -E separator='|' -E aggregator=';' -e udp.dstport -e tide.data_type -e tide.index \
        -e tide.data_tsize -e tide.data_offset -e tide.data_size -e tide.tcount -e tide.tindex -e tide.text \
        -e _ws.expert.message "$@"
}
expect() { # NAME EXPECTED-FILE: the output in $WORK/out is the expected one
    diff "$2" "$WORK/out" >"$WORK/diff" || fail "$1: $(cat "$WORK/diff") $(cat "$WORK/tshark.err")"
}

# Other protocols as they were: the whole tree of every frame, and the protocols, columns
# and expert messages, the same with the dissector as without it.
python3 "$SOURCE/tests/tools/other_traffic.py" "$WORK/other.pcap" || fail "other_traffic.py"
for view in "-V" "-T fields -e frame.protocols -e _ws.col.Protocol -e _ws.col.Info -e _ws.expert.message"; do
    tshark_on "$WORK/other.pcap" "$WORK/without" without $view
    tshark_on "$WORK/other.pcap" "$WORK/with" with $view
    [ -s "$WORK/without" ] || fail "tshark $view read nothing: $(cat "$WORK/tshark.err")"
    diff "$WORK/without" "$WORK/with" >"$WORK/diff" || fail "other protocols with the dissector ($view): $(cat "$WORK/diff")"
done
grep -q "Lua Error" "$WORK/tshark.err" && fail "Lua errors: $(cat "$WORK/tshark.err")"

# The malformed texts, also as a receiver hands them over.
"$TIDEHOST" "$SOURCE/examples/listen.lua" --group $GROUP --port 46503 --messages 5 --seconds 30 \
    >"$WORK/listen.out" 2>&1 &
LISTENER=$!
BACKGROUND=$LISTENER
wait_for "$WORK/listen.out" "listening on"

dumpcap -i lo -f udp -w "$WORK/capture.pcapng" -q 2>"$WORK/dumpcap.err" &
BACKGROUND="$LISTENER $!"
wait_for "$WORK/dumpcap.err" "Capturing on"
# "Capturing on" can come before the capture takes packets: a small datagram to a port no
# check looks at, again until the file has grown by one, makes sure the first of ours is
# in it.
empty="$(stat -c %s "$WORK/capture.pcapng")"
tries=0
while [ "$(stat -c %s "$WORK/capture.pcapng")" = "$empty" ]; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { fail "the capture takes nothing"; break; }
    python3 -c 'import socket; socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(b"sync", ("127.0.0.1", 46599))'
    sleep 0.2
done

head -c 50000 /dev/urandom >"$WORK/file.bin"
"$TIDEHOST" "$SOURCE/examples/speak.lua" --group $GROUP --port 7001 "Grüße über Prozesse" --file "$WORK/file.bin" \
    >"$WORK/speak.out" 2>&1 || fail "speak.lua: $(cat "$WORK/speak.out")"
python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 46501 <<'EOF' || fail "send_datagrams.py to 46501"
1 1 0 0 0 1 1 length=4
0 2 30000 0 20480 2 1 length=1000
0 3 30000 0 20481 2 1
0 4 30000 0 -1 2 1
0 5 30000 -20480 20480 2 1
0 6 30000 20480 9520 2 3
0 7 30000 0 20480 2 0
2 8 10 0 10 1 1
1 9 12 0 12 1 2 text=hello
1 10 12 0 12 1 1 text=hello
EOF
# A full-length datagram of ours with a fault, which RX decodes too (tcount's low byte is
# an RX packet type); and three malformed texts that a receiver hands over, on RX's port
# and on one no protocol claims.
echo "0 7 30000 0 20480 2 0" | python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 7001 || fail "to 7001"
for port in 7001 7077; do
    python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP $port <<'EOF' || fail "the malformed texts to $port"
1 21 6 0 3 1 1 text=AB
1 22 12 0 -4 1 1 text=hello
1 23 6 0 6 1 1 units=D800,0041
EOF
done
python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 46502 <<'EOF' || fail "send_datagrams.py to 46502"
0 1 30000 20480 9520 2 2 length=100
0 2 30000 20480 9520 2 2
EOF
# data_size short of the text, data_size negative, a surrogate without its other half
# before a character, the zero unit not received, and a long text of two-byte characters.
python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 46503 <<EOF || fail "send_datagrams.py to 46503"
1 1 6 0 3 1 1 text=AB
1 2 12 0 -4 1 1 text=hello
1 3 6 0 6 1 1 units=D800,0041
1 4 12 0 12 1 1 length=36 text=hello
1 5 202 0 202 1 1 text=$(printf 'ü%.0s' $(seq 100))
EOF
wait $LISTENER || fail "listen.lua failed: $(cat "$WORK/listen.out")"
sleep 0.5
kill -INT "${BACKGROUND#* }"
wait "${BACKGROUND#* }"
BACKGROUND=""

# Found on RX's port by length and data_type alone, field by field as sent, faults named.
fields -Y "udp.dstport == 7001 && tide" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
7001|1|1|40|0|40|1|1|Grüße über Prozesse|
7001|0|2|50000|0|20480|3|1||
7001|0|2|50000|20480|20480|3|2||
7001|0|2|50000|40960|9040|3|3||
7001|0|7|30000|0|20480|2|0||tindex 0 outside 1..tcount 2: a receiver drops it
7001|1|21|6|0|3|1|1|AB|data_size 3, where the text takes 4 bytes before its zero unit: a receiver hands over the text up to its zero unit all the same
7001|1|22|12|0|-4|1|1|hello|data_size -4 outside 0..20480: a receiver hands the text over all the same;data_size -4, where the text takes 10 bytes before its zero unit: a receiver hands over the text up to its zero unit all the same
7001|1|23|6|0|6|1|1|�A|
EOF
expect "the datagrams on port 7001" "$WORK/expected"
# And on a port no protocol claims, without any setting.
fields -Y "udp.dstport == 7077" >"$WORK/out"
sed -n 's/^7001|1|2\([123]\)|/7077|1|2\1|/p' "$WORK/expected" >"$WORK/expected.7077"
expect "the malformed texts on port 7077" "$WORK/expected.7077"
tshark_read -Y "udp.dstport == 7001" >"$WORK/out"
grep -qF "fragment 3 of 3 of message 2" "$WORK/out" || fail "the info column: $(cat "$WORK/out")"
# RX keeps its own dissection of them; all of them are RX's alone when told so.
tshark_read -Y "udp.dstport == 7001 && rx && !tide" >"$WORK/out"
[ -s "$WORK/out" ] && fail "RX's alone on port 7001: $(cat "$WORK/out")"
tshark_read -o tide.other_ports:FALSE -Y "udp.dstport == 7001 && tide" >"$WORK/out"
[ -s "$WORK/out" ] && fail "tide.other_ports:FALSE still decodes: $(cat "$WORK/out")"

# Forced by the port preference: every datagram decoded, each fault named.
fields -o tide.port:46501 -Y "udp.dstport == 46501" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
46501|||||||||Datagram of 4 bytes, shorter than the 28-byte header: a receiver drops it
46501|0|2|30000|0|20480|2|1||Datagram of 1000 bytes, shorter than 28 + data_size 20480: a receiver drops it
46501|0|3|30000|0|20481|2|1||data_size 20481 outside 0..20480: a receiver drops it
46501|0|4|30000|0|-1|2|1||data_size -1 outside 0..20480: a receiver drops it
46501|0|5|30000|-20480|20480|2|1||data_offset -20480 is negative: a receiver drops it
46501|0|6|30000|20480|9520|2|3||tindex 3 outside 1..tcount 2: a receiver drops it
46501|0|7|30000|0|20480|2|0||tindex 0 outside 1..tcount 2: a receiver drops it
46501|2|8|10|0|10|1|1||data_type 2 is neither 0 (binary) nor 1 (text): a receiver drops it
46501|1|9|12|0|12|1|2|hello|tindex 2 outside 1..tcount 1: a receiver hands the text over all the same
46501|1|10|12|0|12|1|1|hello|
EOF
expect "the raw datagrams on a port forced by tide.port" "$WORK/expected"
tshark_read -o tide.port:46501 -Y "udp.dstport == 46501 && tide.fragment_range" >"$WORK/out"
[ "$(wc -l <"$WORK/out")" -eq 2 ] || fail "tide.fragment_range does not filter the two: $(cat "$WORK/out")"
# Without a forced port: the full-length ones of data_type 0 or 1, faults and all.
fields -Y "udp.dstport == 46501 && tide" >"$WORK/out"
grep -v -e '^46501||' -e '^46501|0|2|' -e '^46501|2|' "$WORK/expected" >"$WORK/expected.heuristic"
expect "the heuristic on the raw datagrams" "$WORK/expected.heuristic"

# Forced by Decode As.
fields -d udp.port==46502,tide -Y "udp.dstport == 46502" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
46502|0|1|30000|20480|9520|2|2||Datagram of 100 bytes, shorter than 28 + data_size 9520: a receiver drops it
46502|0|2|30000|20480|9520|2|2||
EOF
expect "Decode As on port 46502" "$WORK/expected"

# The texts a receiver hands over whatever data_size says, each fault named; the one with
# nothing wrong but a lone surrogate is taken for ours without a forced port.
fields -o tide.port:46503 -Y "udp.dstport == 46503 && tide.index < 5" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
46503|1|1|6|0|3|1|1|AB|data_size 3, where the text takes 4 bytes before its zero unit: a receiver hands over the text up to its zero unit all the same
46503|1|2|12|0|-4|1|1|hello|data_size -4 outside 0..20480: a receiver hands the text over all the same;data_size -4, where the text takes 10 bytes before its zero unit: a receiver hands over the text up to its zero unit all the same
46503|1|3|6|0|6|1|1|�A|
46503|1|4|12|0|12|1|1|hell|Datagram of 36 bytes, shorter than 28 + data_size 12: a receiver hands the text over all the same;data_size 12, where the text takes 8 bytes and has no zero unit: a receiver hands over the text up to its zero unit all the same
EOF
expect "the malformed texts on port 46503" "$WORK/expected"
sed -n 's/^text #\([0-9]*\) .*data_size -\{0,1\}[0-9]*: /\1|/p' "$WORK/listen.out" >"$WORK/received"
tshark_read -o tide.port:46503 -Y "udp.dstport == 46503" -T fields -E separator='|' -e tide.index -e tide.text >"$WORK/out"
expect "the texts as a receiver handed them to listen.lua" "$WORK/received"
fields -Y "udp.dstport == 46503 && tide" >"$WORK/out"
[ "$(cut -d'|' -f3 "$WORK/out" | tr '\n' ' ')" = "1 2 3 5 " ] ||
    fail "the heuristic on the malformed texts (all but the short one): $(cat "$WORK/out")"
tshark_read -o tide.port:46503 -Y "udp.dstport == 46503 && tide.data_size_disagrees" >"$WORK/out"
[ "$(wc -l <"$WORK/out")" -eq 3 ] || fail "tide.data_size_disagrees does not filter the three: $(cat "$WORK/out")"
# The Info column cut at a character, never inside one.
tshark_read -Y "udp.dstport == 46503 && tide.index == 5" -T fields -e _ws.col.Info >"$WORK/out"
printf 'fragment 1 of 1 of message 5, text: "%s..."\n' "$(printf 'ü%.0s' $(seq 57))" >"$WORK/expected"
expect "the Info column of a long text" "$WORK/expected"

finish
