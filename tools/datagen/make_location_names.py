#!/usr/bin/env python3
"""Builds dat/location_en.txt, the English names of the location texts: one
"Chinese name=English name" line for every country name ipanother.txt can hold (the same
Chinese names make_ipanother.py gives each ISO 3166-1 code, English names from Debian's
iso-codes) and for every special range of ication.txt (from special_names_en.txt).

The file is read like user.ini: "//" starts a comment, key and value are trimmed.
"""
import argparse
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_ipanother import country_names  # noqa: E402

# English names for codes whose iso-codes name reads as an index entry or is too long for
# a list column.
SHORT_NAMES = {
    "BQ": "Caribbean Netherlands",
    "CD": "DR Congo",
    "FK": "Falkland Islands",
    "FM": "Micronesia",
    "GS": "South Georgia",
    "HM": "Heard and McDonald Islands",
    "IO": "British Indian Ocean",
    "MF": "Saint Martin",
    "PS": "Palestine",
    "SH": "Saint Helena",
    "SX": "Sint Maarten",
    "UM": "US Outlying Islands",
    "VA": "Vatican City",
    "VG": "British Virgin Islands",
    "VI": "US Virgin Islands",
    "XK": "Kosovo",
}


def english_names(iso_json):
    names = {}
    for entry in json.load(open(iso_json, encoding="utf-8"))["3166-1"]:
        names[entry["alpha_2"]] = entry.get("common_name", entry["name"])
    names.update(SHORT_NAMES)
    return names


def special_names(ication_source, names_source):
    english = {}
    for line in open(names_source, encoding="utf-8"):
        line = line.split("//", 1)[0].strip()
        if "=" in line:
            chinese, name = (part.strip() for part in line.split("=", 1))
            english[chinese] = name
    pattern = re.compile(r"^\s*\d+\.\d+\.\d+\.\d+\s*-\s*\d+\.\d+\.\d+\.\d+\s*\[([^\]]*)\]")
    used = {m.group(1).strip() for m in map(pattern.match, open(ication_source, encoding="utf-8")) if m}
    missing = sorted(used - english.keys())
    if missing:
        sys.exit("no English name in %s for: %s" % (names_source, ", ".join(missing)))
    return {chinese: english[chinese] for chinese in used}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--special", default=os.path.join(here, "ication.txt"))
    parser.add_argument("--special-names", default=os.path.join(here, "special_names_en.txt"))
    parser.add_argument("--iso-json", default="/usr/share/iso-codes/json/iso_3166-1.json")
    parser.add_argument("--locale-dir", default="/usr/share/locale")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    chinese = country_names(args.iso_json, args.locale_dir)
    english = english_names(args.iso_json)
    pairs = {}
    for code, name in chinese.items():
        if code not in english:
            sys.exit("no English name for " + code)
        if pairs.get(name, english[code]) != english[code]:
            sys.exit("%s names two countries: %s and %s" % (name, pairs[name], english[code]))
        pairs[name] = english[code]
    for name, text in special_names(args.special, args.special_names).items():
        if pairs.get(name, text) != text:
            sys.exit("%s is both a country and a special range" % name)
        pairs[name] = text
    for name, text in pairs.items():
        assert "=" not in name and "//" not in name + text and text.strip() == text, name

    with open(args.out, "w", encoding="utf-8", newline="") as out:
        out.write("// Lumivex: English names of the location texts, from Debian iso-codes and the special ranges\n")
        for name in sorted(pairs):
            out.write("%s=%s\n" % (name, pairs[name]))
    print("location_en.txt: %d names" % len(pairs))


if __name__ == "__main__":
    main()
