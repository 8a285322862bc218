"""Sends hand-made datagrams of the wire format to a multicast group, one socket for all
(one sender), for tests that need what no Tidespeak writes: malformed headers, short
datagrams, fragments left out. Run only inside a private network namespace.

    python3 send_datagrams.py GROUP PORT < LINES

Each line: the seven header fields (data_type index data_tsize data_offset data_size
tcount tindex), then optionally `length=N` (bytes sent, default 20512), `units=HEX,HEX...`
(16-bit units as they are, valid or not, then a zero unit) or `text=WORDS` (the rest of
the line, written as UTF-16LE with a zero unit). Binary payloads are a byte pattern of
the message's number and place. Blank lines and lines from # are skipped.
"""
import os
import socket
import struct
import sys
import time

DATAGRAM_BYTES = 20512
HEADER_BYTES = 28


def datagram(line):
    words = line.split()
    fields = [int(w) for w in words[:7]]
    length = DATAGRAM_BYTES
    payload = bytes((fields[1] + fields[3] + k) % 251 for k in range(DATAGRAM_BYTES - HEADER_BYTES))
    for k, word in enumerate(words[7:], start=7):
        if word.startswith("length="):
            length = int(word[len("length="):])
        elif word.startswith("units="):
            units = [int(unit, 16) for unit in word[len("units="):].split(",")] + [0]
            payload = struct.pack("<%dH" % len(units), *units).ljust(DATAGRAM_BYTES - HEADER_BYTES, b"\0")
        elif word.startswith("text="):
            text = " ".join([word[len("text="):]] + words[k + 1:])
            payload = (text.encode("utf-16-le") + b"\0\0").ljust(DATAGRAM_BYTES - HEADER_BYTES, b"\0")
            break
    return (struct.pack("<7i", *fields) + payload)[:length]


def main():
    group, port = sys.argv[1], int(sys.argv[2])
    if not group.startswith("239.255."):
        sys.exit("send_datagrams.py: only groups in 239.255.0.0/16")
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sender.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_TTL, 1)
    # SOURCE_PORT: the port to send from, for tests that name what a sender's address
    # and port become.
    if os.environ.get("SOURCE_PORT"):
        sender.bind(("127.0.0.1", int(os.environ["SOURCE_PORT"])))
    for line in sys.stdin:
        if line.strip() and not line.lstrip().startswith("#"):
            sender.sendto(datagram(line), (group, port))
            # A receive thread busy with the one before must not see its buffer overrun.
            time.sleep(0.002)
    sender.close()


main()
