#!/usr/bin/env python3
"""Records the first bytes real TLS and QUIC clients send, for the handshake parser tests
(tests/data/capture/handshake/). A listener on loopback saves what the client sends first and
then closes, so no handshake ever completes and nothing leaves the machine: names are mapped
to 127.0.0.1 (curl --resolve, chromium --host-resolver-rules).

    python3 tools/testdata/record_handshakes.py curl OUT.bin
    python3 tools/testdata/record_handshakes.py openssl OUT.bin
    python3 tools/testdata/record_handshakes.py chromium OUT.bin
    python3 tools/testdata/record_handshakes.py chromium-quic OUT-PREFIX   # OUT-PREFIX-1.bin ...
    python3 tools/testdata/record_handshakes.py seeds     # fuzz seeds from the recordings

The seeds (fuzz/corpus/fuzz_client_hello, fuzz/corpus/fuzz_quic_initial) are what a fuzzer
cannot reach from the recordings by mutation: the decrypted frames of the recorded QUIC
Initials (a mutated packet fails authentication), the ClientHello messages they carry, and a
hello split over many records. Writing them needs python3-cryptography.

chromium is Debian's (apt-get install chromium); no build needs it, and the handshake
end-to-end test runs it where it is installed. The QUIC recording listens on UDP port 443
(needs root).
"""
import hashlib
import hmac
import os
import socket
import subprocess
import sys
import tempfile
import time

TCP_PORT = 44303
CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-default-apps",
    "--disable-extensions", "--dump-dom",
]


def hello_complete(data):
    """Whether data holds whole TLS records that together carry a whole handshake message."""
    message, pos = b"", 0
    while pos + 5 <= len(data):
        length = int.from_bytes(data[pos + 3:pos + 5], "big")
        if pos + 5 + length > len(data):
            return False
        message += data[pos + 5:pos + 5 + length]
        pos += 5 + length
        if len(message) >= 4 and len(message) >= 4 + int.from_bytes(message[1:4], "big"):
            return True
    return False


def record_tcp(out, client):
    """Accepts one connection on 127.0.0.1:TCP_PORT, runs client, saves its first flight."""
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", TCP_PORT))
    server.listen(1)
    server.settimeout(30)
    proc = subprocess.Popen(client, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    conn, _ = server.accept()
    conn.settimeout(3)
    data = b""
    try:
        while len(data) < 65536 and not hello_complete(data):
            chunk = conn.recv(65536)
            if not chunk:
                break
            data += chunk
    except socket.timeout:
        pass
    conn.close()
    server.close()
    proc.wait(timeout=30)
    with open(out, "wb") as f:
        f.write(data)
    print(out, len(data), "bytes")


def record_udp(prefix, client, seconds=6.0, most=16):
    """Saves each datagram that reaches 127.0.0.1:443 within seconds as PREFIX-N.bin."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 443))
    proc = subprocess.Popen(client, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    end, n = time.time() + seconds, 0
    while time.time() < end and n < most:
        sock.settimeout(max(0.01, end - time.time()))
        try:
            data, _ = sock.recvfrom(65535)
        except socket.timeout:
            break
        n += 1
        with open("%s-%d.bin" % (prefix, n), "wb") as f:
            f.write(data)
        print("%s-%d.bin" % (prefix, n), len(data), "bytes")
    sock.close()
    proc.kill()
    proc.wait()


SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RECORDED = os.path.join(SOURCE, "tests", "data", "capture", "handshake")
CORPUS = os.path.join(SOURCE, "fuzz", "corpus")
SALT_V1 = bytes.fromhex("38762cf7f55934b34d179ae6a4c80cadccbb7f0a")
SALT_V2 = bytes.fromhex("0dede3def700a6db819381be6e269dcbf9bd2ed9")


def expand_label(secret, label, size):
    full = b"tls13 " + label
    info = size.to_bytes(2, "big") + bytes([len(full)]) + full + b"\0"
    return hmac.new(secret, info + b"\x01", hashlib.sha256).digest()[:size]


def varint(data, pos):
    size = 1 << (data[pos] >> 6)
    value = data[pos] & 0x3F
    for b in data[pos + 1:pos + size]:
        value = (value << 8) | b
    return value, pos + size


def initial_payloads(datagram):
    """The decrypted payloads of the client Initial packets of a datagram."""
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
    from cryptography.hazmat.primitives.ciphers.aead import AESGCM
    pos, out = 0, []
    while pos < len(datagram) and datagram[pos] & 0x80:
        start = pos
        version = int.from_bytes(datagram[pos + 1:pos + 5], "big")
        v2 = version == 0x6B3343CF
        pos += 5
        dcid = datagram[pos + 1:pos + 1 + datagram[pos]]
        pos += 1 + datagram[pos]
        pos += 1 + datagram[pos]
        token, pos = varint(datagram, pos)
        pos += token
        length, pos = varint(datagram, pos)
        initial = hmac.new(SALT_V2 if v2 else SALT_V1, dcid, hashlib.sha256).digest()
        client = expand_label(initial, b"client in", 32)
        prefix = b"quicv2 " if v2 else b"quic "
        key, iv, hp = (expand_label(client, prefix + b"key", 16), expand_label(client, prefix + b"iv", 12),
                       expand_label(client, prefix + b"hp", 16))
        mask = Cipher(algorithms.AES(hp), modes.ECB()).encryptor().update(datagram[pos + 4:pos + 20])
        packet = bytearray(datagram[start:pos + length])
        packet[0] ^= mask[0] & 0x0F
        pn_size, pn_at = (packet[0] & 3) + 1, pos - start
        for i in range(pn_size):
            packet[pn_at + i] ^= mask[1 + i]
        nonce = bytearray(iv)
        for i in range(pn_size):
            nonce[12 - pn_size + i] ^= packet[pn_at + i]
        header = bytes(packet[:pn_at + pn_size])
        out.append(AESGCM(key).decrypt(bytes(nonce), bytes(packet[pn_at + pn_size:]), header))
        pos += length
    return out


def crypto_stream(payloads):
    """The CRYPTO stream of the payloads, as far as it runs without a gap."""
    stream = {}
    for payload in payloads:
        pos = 0
        while pos < len(payload):
            kind, pos = varint(payload, pos)
            if kind in (0, 1):
                continue
            if kind != 6:
                break
            offset, pos = varint(payload, pos)
            size, pos = varint(payload, pos)
            for i in range(size):
                stream.setdefault(offset + i, payload[pos + i])
            pos += size
    out = bytearray()
    while len(out) in stream:
        out.append(stream[len(out)])
    return bytes(out)


def write(folder, name, data):
    os.makedirs(os.path.join(CORPUS, folder), exist_ok=True)
    with open(os.path.join(CORPUS, folder, name), "wb") as f:
        f.write(data)
    print(folder, name, len(data), "bytes")


def seeds():
    def recorded(name):
        with open(os.path.join(RECORDED, name), "rb") as f:
            return f.read()
    rfc = initial_payloads(recorded("quic_rfc9001_client_initial.bin"))
    chromium = [initial_payloads(recorded("quic_chromium_initial_%d.bin" % i))[0] for i in (1, 2)]
    write("fuzz_quic_initial", "frames_rfc9001.bin", rfc[0])
    write("fuzz_quic_initial", "frames_chromium_1.bin", chromium[0])
    write("fuzz_quic_initial", "frames_chromium_2.bin", chromium[1])
    write("fuzz_client_hello", "message_rfc9001.bin", crypto_stream(rfc))
    write("fuzz_client_hello", "message_chromium_quic.bin", crypto_stream(chromium))
    curl = recorded("tls_curl.bin")[5:]
    write("fuzz_client_hello", "records_of_7_bytes.bin",
          b"".join(b"\x16\x03\x01" + len(curl[i:i + 7]).to_bytes(2, "big") + curl[i:i + 7]
                   for i in range(0, len(curl), 7)))


def main():
    if sys.argv[1:] == ["seeds"]:
        seeds()
        return
    kind, out = sys.argv[1], sys.argv[2]
    profile = tempfile.mkdtemp(prefix="record-handshakes-")
    chromium = ["chromium", "--user-data-dir=" + profile] + CHROMIUM_FLAGS
    host = "www.lumivex.test"
    if kind == "curl":
        record_tcp(out, ["curl", "-s", "-k", "--max-time", "5", "--resolve",
                         "files.lumivex.test:%d:127.0.0.1" % TCP_PORT,
                         "https://files.lumivex.test:%d/" % TCP_PORT])
    elif kind == "openssl":
        record_tcp(out, ["openssl", "s_client", "-connect", "127.0.0.1:%d" % TCP_PORT,
                         "-servername", "mail.lumivex.test"])
    elif kind == "chromium":
        record_tcp(out, chromium + ["--host-resolver-rules=MAP %s 127.0.0.1" % host,
                                    "https://%s:%d/" % (host, TCP_PORT)])
    elif kind == "chromium-quic":
        record_udp(out, chromium + ["--enable-quic", "--origin-to-force-quic-on=%s:443" % host,
                                    "--host-resolver-rules=MAP %s 127.0.0.1" % host,
                                    "https://%s/" % host])
    else:
        sys.exit("unknown client: " + kind)
    subprocess.run(["rm", "-rf", profile], check=False)


if __name__ == "__main__":
    main()
