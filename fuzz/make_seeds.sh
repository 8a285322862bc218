#!/usr/bin/env bash
# Writes the seed corpora under fuzz/corpus/ (committed; run again only to change them).
# Delivery seeds are records: a control byte (sender in bits 0-2, a setting in bits 3-4,
# "send twice" in bit 5) and a datagram, records split by "|TIDE|". Converter seeds are
# two set choices, a flags byte and the text. Member-call seeds are calls: a control byte
# (entry, object, letter case), a name choice, a count and typed values (member_call_fuzzer.cpp).
set -euo pipefail
cd "$(dirname "$0")"
D=corpus/fuzz_delivery
C=corpus/fuzz_text_converter
M=corpus/fuzz_member_calls
rm -rf "$D" "$C" "$M"
mkdir -p "$D" "$C" "$M"

le32() { local v=$(( $1 & 0xFFFFFFFF )); printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $((v >> 8 & 255)))\\x$(printf %02x $((v >> 16 & 255)))\\x$(printf %02x $((v >> 24 & 255)))"; }
# header TYPE INDEX TSIZE OFFSET SIZE TCOUNT TINDEX
header() { for f in "$@"; do le32 "$f"; done; }
ctl() { printf "\\x$(printf %02x "$1")"; }
sep() { printf '|TIDE|'; }
# UTF-16LE of an ASCII/UTF-8 text, with its zero unit.
utf16() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; printf '\0\0'; }
bytes() { head -c "$1" /dev/zero | tr '\0' "$2"; }

{ ctl 0; header 1 1 16 0 16 1 1; utf16 'héllo €'; } > "$D/text"
{ ctl 0; header 1 1 6 0 6 1 1; utf16 'ab'; sep; ctl 3; header 1 1 6 0 6 1 1; utf16 'cd'; sep
  ctl 4; header 1 2 4 0 4 1 1; utf16 'e'; } > "$D/texts_from_three_senders"
{ ctl 1; header 0 9 30 10 10 3 2; bytes 10 b; sep; ctl 1; header 0 9 30 20 10 3 3; bytes 10 c; sep
  ctl 1; header 0 9 30 0 10 3 1; bytes 10 a; } > "$D/binary_out_of_order"
{ ctl 33; header 0 4 20 0 10 2 1; bytes 10 x; sep; ctl 1; header 0 4 20 10 10 2 2; bytes 10 y; } > "$D/binary_repeated_fragment"
{ ctl 1; header 0 1 20 0 10 2 1; bytes 10 p; sep; ctl 2; header 0 1 20 0 10 2 1; bytes 10 q; sep
  ctl 1; header 0 1 20 10 10 2 2; bytes 10 p; sep; ctl 2; header 0 1 20 10 10 2 2; bytes 10 q; sep
  ctl 6; header 0 2 0 0 0 1 1; } > "$D/binary_interleaved_senders"
{ ctl 0; bytes 10 z; sep; ctl 0; header 0 5 100 -20480 10 1 1; sep; ctl 0; header 0 6 100 0 30000 1 1; sep
  ctl 0; header 0 7 100 102400 10 1 1; sep; ctl 0; header 0 8 2147483000 0 10 1 1; bytes 10 m; sep
  ctl 0; header 0 9 100 0 10 0 1; sep; ctl 0; header 0 10 100 0 10 2 5; bytes 10 m; sep
  ctl 0; header 7 11 100 0 10 1 1; sep; ctl 0; header 0 12 20000 0 20000 1 1; bytes 50 t; sep
  ctl 0; header 1 13 2 0 2 1 1; bytes 3 A; } > "$D/malformed"
{ ctl 24; le32 16; header 0 3 40 0 20 2 1; bytes 20 g; sep; ctl 24; le32 -5; header 0 3 40 20 20 2 2; bytes 20 h; sep
  ctl 24; le32 2147483647; header 0 4 30 0 30 1 1; bytes 30 i; } > "$D/buffer_size_changes"
{ ctl 16; printf '\x01'; header 1 1 6 0 6 1 1; utf16 'hi'; sep; ctl 16; printf '\xffISO-2022-JP\0'; header 1 2 8 0 8 1 1
  printf '\xe5\x65\x2c\x67\0\0'; sep; ctl 16; printf '\x17'; header 1 3 4 0 4 1 1; utf16 'x'; } > "$D/director_codes"
# A message, then BufferSize made smaller than it, then the next message of that length.
{ ctl 0; header 0 1 40 0 40 1 1; bytes 40 r; sep; ctl 24; le32 16; header 0 2 40 0 40 1 1; bytes 40 s; } > "$D/buffer_shrunk_below_the_length"
# A full text fragment as the sender writes it: 10240 units and the fixed zero unit.
{ ctl 0; header 1 1 20482 0 20480 2 1; bytes 20480 Q | sed 's/Q/Q\x00/g' | head -c 20480; printf '\0\0\0\0'; } > "$D/full_text_fragment"

# A script that changes BufferSize (here in a record of a text datagram) between the two
# fragments of a message: the message must arrive whole, with the bytes that came.
{ ctl 0; header 0 1 30000 0 20480 2 1; bytes 20480 u; sep; ctl 24; le32 300000; header 1 2 4 0 4 1 1; utf16 'x'; sep
  ctl 0; header 0 1 30000 20480 9520 2 2; bytes 9520 v; sep; ctl 0; header 0 2 30000 0 20480 2 1; bytes 20480 w; sep
  ctl 24; le32 25000; header 1 3 4 0 4 1 1; utf16 'y'; sep; ctl 0; header 0 2 30000 20480 9520 2 2; bytes 9520 z
} > "$D/buffer_replaced_mid_message"

# After a whole message from one sender, another's of the same length whose fragments
# leave gaps (one short fragment for all of it; two at one offset): neither may be handed
# over, or it would show the first one's bytes.
{ ctl 1; header 0 1 100 0 100 1 1; bytes 100 S; sep; ctl 2; header 0 1 100 0 4 1 1; printf ABCD; sep
  ctl 2; header 0 2 100 0 50 2 1; bytes 50 a; sep; ctl 2; header 0 2 100 0 50 2 2; bytes 50 b; } > "$D/binary_fragments_leave_a_gap"

# Converter seeds: from, to (indexes into kSetNames), flags, text.
{ printf '\x00\x01\x01'; printf 'h\xc3\xa9llo \xe2\x82\xac \xf0\x9f\x98\x80'; } > "$C/utf8_to_utf16le"
{ printf '\x01\x00\x00'; printf 'a\0\x00\xd8b\0'; } > "$C/lone_surrogate_to_utf8"
{ printf '\x00\x00\x01'; printf 'ok\xff\xfe\xc3 end \xe2\x82'; } > "$C/invalid_utf8"
{ printf '\x00\x10\x01'; printf 'caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac \xd0\xaf'; } > "$C/utf8_to_iso2022jp"
{ printf '\x00\xff\x00'; printf 'ISO-8859-7\0'; printf '\xce\xb1\xce\xb2 ascii'; } > "$C/named_target"
{ printf '\x17\x00\x01'; printf '\xc8\x85\x93\x93\x96'; } > "$C/ebcdic_to_utf8"
# An invalid lead byte near the end, before bytes it cannot take: the rest still converts.
{ printf '\x00\x01\x01'; printf 'syltet\xf8y\0\xfcabc\0\xf0A'; } > "$C/invalid_lead_near_the_end"
{ printf '\x07\x06\x01'; printf 'abc'; } > "$C/char_to_wchar"

# Member-call seeds. Names (kNames): 2 SetDirectorCode, 3 GetAt, 4 SetAt, 9 DirectorCode,
# 10 BufferSize, 12 OnTextData, 13 OnBinaryData, 14 SetScriptObject, 16 SetBufferSize,
# 17 Open, 18 Close, 19 Start, 20 Stop, 21 SendText, 24 Text, 26 delete, 30 the group.
# Values: \x01 integer (0 stands for the test port), \x02 symbol, \x03 string, \x04 float,
# \x05 object, \x06 list, \x00 void.
int() { printf '\x01'; le32 "$1"; }
str() { printf '\x03'; printf "\\x$(printf %02x ${#1})"; printf '%s' "$1"; }
{ printf '\x00\x0e\x01\x05\x02'; printf '\x00\x0c\x01\x02\x00'; printf '\x00\x0d\x01\x02\x01'
  printf '\x00\x11\x02'; int 0; str 239.255.67.1; printf '\x00\x13\x00'
  printf '\x04\x11\x02'; int 0; str 239.255.67.1; printf '\x04\x15\x02'; str hi; int 3
  printf '\x03\x03\x03\x03'; printf '\x00\x14\x00\x00\x12\x00'; } > "$M/listen_and_speak"
{ printf '\x01\x0a\x02'; int 1; int 2; printf '\x02\x0a\x03'; int 4096; int 5; int 9000
  printf '\x06\x18\x02'; str ab; int 2; printf '\x0a\x09\x01\x02\x09'; printf '\x00\x03\x01'; str DirectorCode
  printf '\x08\x04\x02'; str DIRECTORCODE; str UTF-16LE; printf '\x05\x09\x00'; } > "$M/properties_with_index_values"
# Objects made, made to have ACE complain (a join on a second port), and all released
# before the next are made (host step 27: both objects renewed), three times.
{ for round in 1 2 3; do
    printf '\x00\x11\x02'; int 0; str 239.255.67.1; printf '\x00\x11\x02'; int 45056; str 239.255.67.2
    printf '\x04\x11\x02'; int 45057; str 300.1.2.3; printf '\x1b'
  done; } > "$M/objects_renewed_after_complaints"
{ printf '\x00\x10\x01'; int 2147483647; printf '\x00\x10\x01\x04'; printf '\x00\x00\x00\x00\x00\x00\x04\x40'
  printf '\x00\x02\x01\x06\x09\x07'; printf '\x00\x0e\x01\x05\x00'; printf '\x04\x1a\x01\x00'
  printf '\x00\x1b\x00'; printf '\x04\xffZap\0\x01'; int -1; } > "$M/odd_values"
