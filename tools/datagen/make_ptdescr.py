#!/usr/bin/env python3
"""Writes the plain-text source of dat/ptdescr.dat (encode it with datcodec): TCP and UDP
port names from /etc/services, IP protocol names from /etc/protocols.

Sections: TCP ports first, then a line holding "udp port descrption", then a line holding
"protocol descrption" (the reader looks for these exact words). One "number=description"
line per entry; the first name /etc/services gives a port is kept.
"""
import argparse


def services(path, protocol):
    names = {}
    for line in open(path, encoding="utf-8", errors="replace"):
        fields = line.split("#", 1)[0].split()
        if len(fields) < 2 or "/" not in fields[1]:
            continue
        port, proto = fields[1].split("/", 1)
        if proto == protocol and port.isdigit() and int(port) < 65536:
            names.setdefault(int(port), fields[0])
    return names


def protocols(path):
    names = {}
    for line in open(path, encoding="utf-8", errors="replace"):
        fields = line.split("#", 1)[0].split()
        if len(fields) < 2 or not fields[1].isdigit():
            continue
        names.setdefault(int(fields[1]), fields[2] if len(fields) > 2 else fields[0].upper())
    return names


def clean(text):
    # Texts must not hold what the line syntax or the shifted encoding reserves.
    return text.replace("//", "/").replace("=", "-").replace("\t", " ")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--services", default="/etc/services")
    parser.add_argument("--protocols", default="/etc/protocols")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    lines = ["// Lumivex port and protocol descriptions, from /etc/services and /etc/protocols",
             "// tcp ports"]
    lines += ["%d=%s" % (port, clean(name)) for port, name in sorted(services(args.services, "tcp").items())]
    lines.append("// udp port descrption")
    lines += ["%d=%s" % (port, clean(name)) for port, name in sorted(services(args.services, "udp").items())]
    lines.append("// protocol descrption")
    lines += ["%d=%s" % (number, clean(name)) for number, name in sorted(protocols(args.protocols).items())]
    with open(args.out, "w", encoding="utf-8", newline="") as out:
        out.write("".join(line + "\r\n" for line in lines))
    print("ptdescr source: %d lines" % len(lines))


if __name__ == "__main__":
    main()
