#!/usr/bin/env python3
"""Builds dat/ipanother.txt, the supplementary location list, from the IPv4 country CSV of
the npm package @ip-location-db/geo-whois-asn-country and Debian's iso-codes translations.

Output: a heading line (the reader skips the file's first byte and then ignores the rest of
that line), then one "first-last[country]" line per range, CR LF line ends, ranges strictly
ascending and disjoint. Where the source nests a more specific range inside a larger one the
more specific range wins. Addresses inside the special-purpose ranges of the location
database source are left out, so those ranges keep their own names.
"""
import argparse
import csv
import gettext
import heapq
import json
import re
import sys

TEXT_LIMIT = 31  # bytes of the reader's location field

# Chinese names for codes iso-codes lacks or whose translations do not fit the field whole.
SHORT_NAMES = {
    "XK": "科索沃",
    "BQ": "荷兰加勒比区",
    "FK": "福克兰群岛",
    "GS": "南乔治亚岛",
    "SH": "圣赫勒拿",
}


def country_names(iso_json, locale_dir):
    entries = json.load(open(iso_json, encoding="utf-8"))["3166-1"]
    translation = gettext.translation("iso_3166-1", localedir=locale_dir, languages=["zh_CN"])
    names = {}
    for entry in entries:
        for field in ("common_name", "name", "official_name"):
            if field not in entry:
                continue
            text = translation.gettext(entry[field])
            if len(text.encode("utf-8")) <= TEXT_LIMIT:
                names[entry["alpha_2"]] = text
                break
    names.update(SHORT_NAMES)
    return names


def special_ranges(ication_source):
    pattern = re.compile(r"^\s*(\d+\.\d+\.\d+\.\d+)\s*-\s*(\d+\.\d+\.\d+\.\d+)\s*\[")
    ranges = []
    for line in open(ication_source, encoding="utf-8"):
        match = pattern.match(line)
        if match:
            ranges.append((to_int(match.group(1)), to_int(match.group(2))))
    return ranges


def to_int(text):
    a, b, c, d = (int(part) for part in text.split("."))
    return (a << 24) | (b << 16) | (c << 8) | d


def to_text(value):
    return "%d.%d.%d.%d" % (value >> 24, (value >> 16) & 255, (value >> 8) & 255, value & 255)


def resolve(ranges):
    """Disjoint pieces covering every address of ranges, each taking the smallest range that
    holds it. Pieces of one source range that stay adjacent are kept as one range."""
    points = sorted({a for a, _, _ in ranges} | {b + 1 for _, b, _ in ranges})
    by_start = {}
    for index, (a, b, _) in enumerate(ranges):
        by_start.setdefault(a, []).append(index)
    active = []  # (size, index)
    pieces = []
    for position, point in enumerate(points[:-1]):
        for index in by_start.get(point, ()):
            a, b, _ = ranges[index]
            heapq.heappush(active, (b - a, index))
        while active and ranges[active[0][1]][1] < point:
            heapq.heappop(active)
        if not active:
            continue
        index = active[0][1]
        end = points[position + 1] - 1
        if pieces and pieces[-1][2] == index and pieces[-1][1] + 1 == point:
            pieces[-1][1] = end
        else:
            pieces.append([point, end, index])
    return [(a, b, ranges[index][2]) for a, b, index in pieces]


def subtract(pieces, holes):
    holes = sorted(holes)
    result = []
    for a, b, name in pieces:
        start = a
        for low, high in holes:
            if high < start or low > b:
                continue
            if low > start:
                result.append((start, low - 1, name))
            start = max(start, high + 1)
            if start > b:
                break
        if start <= b:
            result.append((start, b, name))
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--csv", required=True, help="geo-whois-asn-country-ipv4-num.csv")
    parser.add_argument("--special", required=True, help="plain-text source of ication.dat")
    parser.add_argument("--iso-json", default="/usr/share/iso-codes/json/iso_3166-1.json")
    parser.add_argument("--locale-dir", default="/usr/share/locale")
    parser.add_argument("--source-version", default="")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    names = country_names(args.iso_json, args.locale_dir)
    ranges = []
    missing = set()
    for row in csv.reader(open(args.csv, encoding="utf-8")):
        first, last, code = int(row[0]), int(row[1]), row[2].strip().upper()
        if code not in names:
            missing.add(code)
            continue
        ranges.append((first, last, names[code]))
    if missing:
        sys.exit("no Chinese name for: " + ", ".join(sorted(missing)))

    pieces = subtract(resolve(ranges), special_ranges(args.special))
    for (a, b, _), (c, _, _) in zip(pieces, pieces[1:]):
        assert a <= b < c, "ranges must be strictly ascending and disjoint"
    assert len(pieces) <= 400000, "the reader keeps at most 400000 ranges"

    heading = "# Lumivex supplementary location list from geo-whois-asn-country %s\r\n" % args.source_version
    with open(args.out, "w", encoding="utf-8", newline="") as out:
        out.write(heading)
        for a, b, name in pieces:
            assert len(name.encode("utf-8")) <= TEXT_LIMIT and "]" not in name
            out.write("%s-%s[%s]\r\n" % (to_text(a), to_text(b), name))
    print("ipanother.txt: %d ranges from %d source ranges" % (len(pieces), len(ranges)))


if __name__ == "__main__":
    main()
