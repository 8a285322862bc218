#!/bin/sh
# The capture dissector read by tshark: a capture of loopback while speak.lua sends a text
# and a file of three fragments to port 7001 (Wireshark's RX/AFS port), and a raw sender
# sends datagrams a receiver drops. Every field must come out as sent, each malformed
# datagram with the expert info that names its fault, and nothing malformed may be taken
# for ours unless a port is forced. Run by tide_in_private_network (as root: capturing
# needs it) with the tidehost binary as $1 and the source folder as $2.
TIDEHOST="$1"
SOURCE="$2"
DISSECTOR="$SOURCE/tools/wireshark/tide.lua"
. "$SOURCE/tests/support/checks.sh"
GROUP=239.255.65.1

# A home of its own: no preferences or personal plugins of whoever runs the test.
tshark_read() {
    HOME="$WORK" tshark -r "$WORK/capture.pcapng" -X lua_script:"$DISSECTOR" "$@" 2>"$WORK/tshark.err"
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

dumpcap -i lo -f udp -w "$WORK/capture.pcapng" -q 2>"$WORK/dumpcap.err" &
BACKGROUND=$!
wait_for "$WORK/dumpcap.err" "Capturing on"

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
# Not ours, but RX's to decode: tcount's low byte is an RX packet type.
echo "0 7 30000 0 20480 2 0" | python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 7001 || fail "to 7001"
python3 "$SOURCE/tests/tools/send_datagrams.py" $GROUP 46502 <<'EOF' || fail "send_datagrams.py to 46502"
0 1 30000 20480 9520 2 2 length=100
0 2 30000 20480 9520 2 2
EOF
sleep 0.5
kill -INT $BACKGROUND
wait $BACKGROUND
BACKGROUND=""

# Found on RX's port by length and header alone, field by field as sent.
fields -Y "udp.dstport == 7001 && tide" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
7001|1|1|40|0|40|1|1|Grüße über Prozesse|
7001|0|2|50000|0|20480|3|1||
7001|0|2|50000|20480|20480|3|2||
7001|0|2|50000|40960|9040|3|3||
EOF
expect "the well-formed datagrams on port 7001" "$WORK/expected"
tshark_read -Y "udp.dstport == 7001" >"$WORK/out"
grep -qF "fragment 3 of 3 of message 2" "$WORK/out" || fail "the info column: $(cat "$WORK/out")"
# What is not ours stays RX's; all of it when told so.
tshark_read -Y "udp.dstport == 7001 && rx" >"$WORK/out"
[ "$(wc -l <"$WORK/out")" -eq 1 ] || fail "RX's own on port 7001: $(cat "$WORK/out")"
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
tshark_read -o tide.port:46501 -Y "tide.fragment_range" >"$WORK/out"
[ "$(wc -l <"$WORK/out")" -eq 2 ] || fail "tide.fragment_range does not filter the two: $(cat "$WORK/out")"
# Without a forced port only the well-formed one is taken for ours.
fields -Y "udp.dstport == 46501 && tide" >"$WORK/out"
echo "46501|1|10|12|0|12|1|1|hello|" >"$WORK/expected"
expect "the heuristic on the raw datagrams" "$WORK/expected"

# Forced by Decode As.
fields -d udp.port==46502,tide -Y "udp.dstport == 46502" >"$WORK/out"
cat >"$WORK/expected" <<'EOF'
46502|0|1|30000|20480|9520|2|2||Datagram of 100 bytes, shorter than 28 + data_size 9520: a receiver drops it
46502|0|2|30000|20480|9520|2|2||
EOF
expect "Decode As on port 46502" "$WORK/expected"

finish
