#!/usr/bin/env python3
"""Records the first bytes real TLS and QUIC clients send, for the handshake parser tests
(tests/data/capture/handshake/). A listener on loopback saves what the client sends first and
then closes, so no handshake ever completes and nothing leaves the machine: names are mapped
to 127.0.0.1 (curl --resolve, chromium --host-resolver-rules).

    python3 tools/testdata/record_handshakes.py curl OUT.bin
    python3 tools/testdata/record_handshakes.py openssl OUT.bin
    python3 tools/testdata/record_handshakes.py chromium OUT.bin
    python3 tools/testdata/record_handshakes.py chromium-quic OUT-PREFIX   # OUT-PREFIX-1.bin ...

chromium is Debian's (apt-get install chromium), used only to record; nothing in the build or
the tests needs it. The QUIC recording listens on UDP port 443 (needs root).
"""
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


def main():
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
