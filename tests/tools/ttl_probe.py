"""Prints the TTL and the sender of the first datagram that comes to a multicast group, as
the IP header has them, once it has joined ("joined" first). Run only inside a private
network namespace.

    python3 ttl_probe.py GROUP PORT INTERFACE [SECONDS]

INTERFACE: the address of the interface to join on.
"""
import socket
import struct
import sys

IP_RECVTTL = getattr(socket, "IP_RECVTTL", 12)


def main():
    group, port, interface = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 20
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    probe.bind(("", port))
    probe.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                     socket.inet_aton(group) + socket.inet_aton(interface))
    probe.setsockopt(socket.IPPROTO_IP, IP_RECVTTL, 1)
    probe.settimeout(seconds)
    print("joined", flush=True)
    _, ancillary, _, sender = probe.recvmsg(65536, socket.CMSG_SPACE(4))
    for level, kind, data in ancillary:
        if level == socket.IPPROTO_IP and kind == socket.IP_TTL:
            print("ttl %d from %s" % (struct.unpack("i", data[:4])[0], sender[0]), flush=True)
            return
    sys.exit("no TTL came with the datagram")


main()
