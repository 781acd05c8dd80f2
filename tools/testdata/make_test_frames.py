#!/usr/bin/env python3
"""Writes the recorded frames and datagrams the tests replay (tests/data/platform/*.pcap and
tests/data/capture/*.bin), and the fuzz seeds made from them (fuzz/corpus/). Each is built the
way the kernel puts it on the wire, with the one fault named in its file name, so the files
can be rebuilt and read without a capture tool.

    python3 tools/testdata/make_test_frames.py
"""
import os
import struct

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
ROOT = os.path.join(SOURCE, "tests", "data")
CORPUS = os.path.join(SOURCE, "fuzz", "corpus")
LINK_SLL, LINK_SLL2 = 113, 276
PACKET_HOST, PACKET_OUTGOING = 0, 4


def addr(dotted):
    return bytes(int(part) for part in dotted.split("."))


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def ipv4(src, dst, proto, payload, ident=0x1000, flags_offset=0x4000, total=None):
    length = 20 + len(payload) if total is None else total
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, length, ident, flags_offset, 64, proto, 0,
                         addr(src), addr(dst))
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + payload


def udp(sport, dport, data):
    return struct.pack("!HHHH", sport, dport, 8 + len(data), 0) + data


def tcp(sport, dport, flags=0x18, offset_words=5, data=b""):
    header = struct.pack("!HHIIBBHHH", sport, dport, 1, 1, offset_words << 4, flags, 65535, 0, 0)
    return header + data


def sll(packet_type, ip):
    # packet type, ARPHRD_ETHER, address length, address (8), protocol
    return struct.pack("!HHH8sH", packet_type, 1, 6, b"\x02\0\0\0\0\x01\0\0", 0x0800) + ip


def sll2(packet_type, ip):
    # protocol, reserved, interface index, ARPHRD_ETHER, packet type, address length, address
    return struct.pack("!HHIHBB8s", 0x0800, 0, 2, 1, packet_type, 6, b"\x02\0\0\0\0\x01\0\0") + ip


def seed(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def write_pcap(name, link, frames, snap=96):
    """frames: (frame bytes, wire length or None) in order, one millisecond apart."""
    content = struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, snap, link)
    for i, (frame, wire) in enumerate(frames):
        stored = frame[:snap]
        content += struct.pack("<IIII", 1700000000, 1000 * i, len(stored), wire or len(frame)) + stored
    with open(os.path.join(ROOT, "platform", name), "wb") as out:
        out.write(content)
    seed("fuzz_capture_file", name, content)
    # The first frame alone for the frame decoder: link byte (bit 0: cooked v2), the frame.
    first, wire = frames[0]
    seed("fuzz_packet_decode", name.replace(".pcap", ""),
         bytes([(1 if link == LINK_SLL2 else 0) | 2 * min(127, (wire or len(first)) - len(first[:snap]))])
         + first[:snap])


def fragments(src, dst, ident, datagram_payload, mtu=1500):
    """The IPv4 fragments of one UDP datagram, as ip_fragment() cuts them."""
    chunk = (mtu - 20) // 8 * 8
    pieces = []
    for offset in range(0, len(datagram_payload), chunk):
        part = datagram_payload[offset:offset + chunk]
        more = offset + chunk < len(datagram_payload)
        pieces.append(ipv4(src, dst, 17, part, ident, (0x2000 if more else 0) | (offset // 8)))
    return pieces


def capture_files():
    # Three 48-byte datagrams whose headers claim 60 000 bytes, then one honest one.
    claims = [(sll2(PACKET_HOST, ipv4("10.0.0.2", "10.0.0.1", 17, udp(7000, 40000, b"x" * 20), 0x2000 + i,
                                      total=60000)), None) for i in range(3)]
    claims.append((sll2(PACKET_HOST, ipv4("10.0.0.2", "10.0.0.1", 17, udp(7000, 40000, b"x" * 20), 0x2003)), None))
    write_pcap("claimed_length.pcap", LINK_SLL2, claims)

    # TCP headers whose data offset is below five words or runs past the packet, then one
    # honest segment.
    bad = [(sll2(PACKET_HOST, ipv4("10.0.0.2", "10.0.0.1", 6, tcp(443, 40001, offset_words=words), 0x3000 + words)),
            None) for words in (0, 4, 15)]
    bad.append((sll2(PACKET_HOST, ipv4("10.0.0.2", "10.0.0.1", 6, tcp(443, 40001, data=b"y" * 100), 0x3010)), None))
    write_pcap("tcp_data_offset.pcap", LINK_SLL2, bad)

    # Five 8000-byte UDP datagrams sent through a 1500-byte MTU: six fragments each, 8128
    # bytes on the wire per datagram. Then a later fragment of a datagram whose first
    # fragment was never captured, received from another host.
    frames = []
    for i in range(5):
        payload = udp(40000, 7000, bytes([i]) * 8000)
        for piece in fragments("10.0.0.1", "10.0.0.2", 0x4000 + i, payload):
            frames.append((sll(PACKET_OUTGOING, piece), None))
    orphan = fragments("10.0.0.3", "10.0.0.1", 0x5000, udp(7000, 40002, b"z" * 3000))[1]
    frames.append((sll(PACKET_HOST, orphan), None))
    write_pcap("udp_fragments.pcap", LINK_SLL, frames)


def dns_name(name):
    out = b""
    for label in name.split("."):
        out += bytes([len(label)]) + label.encode()
    return out + b"\0"


def dns_answer(question, records, raw_question=None):
    """An answer to an A question; records: (owner bytes, address)."""
    header = struct.pack("!HHHHHH", 0x4C58, 0x8180, 1, len(records), 0, 0)
    body = (raw_question or dns_name(question)) + struct.pack("!HH", 1, 1)
    for owner, address in records:
        body += owner + struct.pack("!HHIH", 1, 1, 300, 4) + addr(address)
    return header + body


def write_datagram(name, message):
    datagram = ipv4("192.0.2.53", "10.0.0.2", 17, udp(53, 40000, message), 0x6000)
    with open(os.path.join(ROOT, "capture", name), "wb") as out:
        out.write(datagram)
    seed("fuzz_parser", name, datagram)
    seed("fuzz_dns_check", name, datagram)
    # The name decoder's input: output size, start position, then the message.
    seed("fuzz_dns_name", name.replace(".bin", ""), bytes([65, 13]) + message)
    return len(datagram)


def datagrams():
    pointer = b"\xC0\x0C"  # the question name
    # A 64-byte label (the length byte 0x40 is no label length at all).
    long_label = b"\x40" + b"a" * 64 + b"\x07example\0"
    write_datagram("answer_label_64.bin",
                   dns_answer(None, [(pointer, "198.51.100.60")], raw_question=long_label))
    # A name of 258 bytes: five labels of 50 and one of 2, all legal on their own.
    too_long = ".".join(["n" * 50] * 5 + ["xy"])
    assert len(dns_name(too_long)) > 255
    write_datagram("answer_name_over_255.bin", dns_answer(too_long, [(pointer, "198.51.100.61")]))
    # 62 address records in a 1047-byte datagram, more than a 1024-byte queue slot keeps.
    records = [(pointer, "198.51.101.%d" % (i + 1)) for i in range(62)]
    size = write_datagram("answer_62_records.bin", dns_answer("a.example", records))
    assert size == 1047, size


def netlink(msg_type, sequence, body):
    length = 16 + len(body)
    return struct.pack("=IHHII", length, msg_type, 0, sequence, 0) + body + b"\0" * (-length % 4)


def diag_message(inode, state=1, family=2):
    # family, state, timer, retrans, sockid (ports, src[4], dst[4], if, cookie[2]), expires,
    # rqueue, wqueue, uid, inode
    sockid = struct.pack("!HH", 40000, 443) + addr("10.0.0.1") + b"\0" * 12 + addr("10.0.0.2") + b"\0" * 12
    sockid += struct.pack("=III", 0, 0xFFFFFFFF, 0xFFFFFFFF)
    return struct.pack("=BBBB", family, state, 0, 0) + sockid + struct.pack("=IIIII", 0, 0, 0, 0, inode)


def other_seeds():
    sock_diag_by_family, done, error = 20, 3, 2
    dump = netlink(sock_diag_by_family, 6, diag_message(1)) + netlink(sock_diag_by_family, 7, diag_message(2)) \
        + netlink(sock_diag_by_family, 7, diag_message(3, state=10)) + netlink(done, 7, b"\0" * 4)
    seed("fuzz_sock_diag_reply", "dump_tcp", b"\x02" + dump)
    seed("fuzz_sock_diag_reply", "exact_udp", b"\x01" + netlink(sock_diag_by_family, 7, diag_message(4, state=7)))
    seed("fuzz_sock_diag_reply", "error", b"\x00" + netlink(error, 7, struct.pack("=i", -2) + b"\0" * 16))
    for name, text in [("socket", b"socket:[12345]"), ("pipe", b"pipe:[12345]"), ("anon", b"anon_inode:[eventfd]"),
                       ("too_big", b"socket:[99999999999999999999]"), ("empty", b"socket:[]")]:
        seed("fuzz_socket_link", name, text)
    seed("fuzz_process_name", "deleted_and_cut_comm",
         b"/usr/lib/chromium/chromium (deleted)\0\0chromium-browse\n\0\0/opt/x/chromium-browser-stable\0--type=gpu\0")
    seed("fuzz_process_name", "plain", b"/usr/bin/ssh\0\0ssh\n\0\0ssh\0host\0")
    # The listener's test: a TCP segment from port 53 and a query to port 53 are dropped.
    seed("fuzz_dns_check", "tcp_from_53", ipv4("192.0.2.53", "10.0.0.2", 6, tcp(53, 40000)))
    seed("fuzz_dns_check", "query_to_53", ipv4("10.0.0.2", "192.0.2.53", 17, udp(40000, 53, b"q" * 12)))


if __name__ == "__main__":
    capture_files()
    datagrams()
    other_seeds()
