"""Writes a capture of UDP traffic of other protocols, well-formed and malformed, for the
test that loading the dissector changes nothing about how they are dissected; it also
holds datagrams of our length and size range that are not ours. Nothing is sent: the
frames are made here and written as a pcap file.

    python3 other_traffic.py OUT.pcap
"""
import struct
import sys

CLIENT, SERVER = bytes([192, 0, 2, 10]), bytes([192, 0, 2, 53])


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def frame(source_port, destination_port, payload, source=CLIENT, destination=SERVER):
    """An Ethernet frame of one IPv4 UDP datagram, every checksum right."""
    udp_length = 8 + len(payload)
    pseudo = source + destination + struct.pack("!BBH", 0, 17, udp_length)
    header = struct.pack("!HHHH", source_port, destination_port, udp_length, 0)
    udp_sum = checksum(pseudo + header + payload) or 0xFFFF
    udp = struct.pack("!HHHH", source_port, destination_port, udp_length, udp_sum) + payload
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 1, 0, 64, 17, 0, source, destination)
    ip = ip[:10] + struct.pack("!H", checksum(ip)) + ip[12:]
    ethernet = bytes.fromhex("020000000002" "020000000001" "0800")
    return ethernet + ip + udp


def dns_name(name):
    return b"".join(bytes([len(label)]) + label.encode() for label in name.split(".")) + b"\0"


DNS_QUERY = struct.pack("!6H", 0x1234, 0x0100, 1, 0, 0, 0) + dns_name("example.org") + struct.pack("!HH", 1, 1)
DNS_ANSWER = (struct.pack("!6H", 0x1234, 0x8180, 1, 1, 0, 0) + dns_name("example.org") + struct.pack("!HH", 1, 1) +
              struct.pack("!HHHIH", 0xC00C, 1, 1, 300, 4) + bytes([192, 0, 2, 80]))
NTP_REQUEST = bytes([0x23]) + bytes(39) + struct.pack("!II", 0xE9000000, 0x12345678)
SYSLOG = b"<34>Dec  9 14:00:00 host tide: a message of another protocol"
SSDP = b"M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: ssdp:all\r\n\r\n"
# RX (AFS) on 7001: a data packet and an ack, then one too short for RX's header.
RX_DATA = struct.pack("!IIIII", 0x5E3A1C00, 0x1000, 1, 1, 1) + bytes([1, 0x01, 0, 0]) + struct.pack("!HH", 0, 1) + b"afs"
RX_ACK = struct.pack("!IIIII", 0x5E3A1C00, 0x1000, 1, 0, 2) + bytes([2, 0, 0, 0]) + struct.pack("!HH", 0, 1) + bytes(18)
PATTERN = bytes((k * 7 + 3) % 256 for k in range(20512))
# Of our length, with a header of ours but for its data_type, which is neither 0 nor 1.
NOT_OURS = struct.pack("<7i", 257, 5, 12, 0, 12, 1, 1) + "hello".encode("utf-16-le") + bytes(20512 - 38)

FRAMES = [
    frame(40001, 53, DNS_QUERY),
    frame(40002, 53, DNS_QUERY[:len(DNS_QUERY) - 7]),   # the question cut short
    frame(53, 40001, DNS_ANSWER, SERVER, CLIENT),
    frame(53, 40003, DNS_ANSWER[:14], SERVER, CLIENT),  # an answer cut inside its question
    frame(40004, 123, NTP_REQUEST),
    frame(40005, 123, NTP_REQUEST[:20]),
    frame(40006, 514, SYSLOG),
    frame(40007, 1900, SSDP),
    frame(7000, 7001, RX_DATA),
    frame(7001, 7000, RX_ACK, SERVER, CLIENT),
    frame(7000, 7001, RX_DATA[:10]),
    frame(7000, 7001, PATTERN),
    frame(40008, 40009, PATTERN[:100]),
    frame(40008, 40009, bytes([2]) + bytes(20511)),
    frame(40008, 40009, NOT_OURS),
    frame(40010, 7001, NOT_OURS),
]


def main():
    with open(sys.argv[1], "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for number, data in enumerate(FRAMES):
            out.write(struct.pack("<IIII", 1765288800 + number, 0, len(data), len(data)) + data)


main()
