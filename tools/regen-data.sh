#!/usr/bin/env bash
# Regenerates every shipped data file in dat/ from its sources:
#   ipanother.txt  npm package @ip-location-db/geo-whois-asn-country (fetched with npm pack)
#                  + Debian iso-codes (zh_CN country names)
#   location_en.txt  Debian iso-codes (English country names)
#                  + tools/datagen/special_names_en.txt (the special ranges of ication.txt)
#   ication.dat    tools/datagen/ication.txt
#   ptdescr.dat    /etc/services and /etc/protocols (Debian netbase)
#   config.dat     tools/datagen/config.txt
#   user.ini       tools/datagen/user.ini
#   images         tools/imagegen (needs Qt 6 Gui; skipped with a note when it cannot be built)
# Usage: tools/regen-data.sh [npm package version]   (default: the latest)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=tools/work
mkdir -p "$work"

package="@ip-location-db/geo-whois-asn-country"
spec="$package${1:+@$1}"
rm -rf "$work/package" "$work"/ip-location-db-geo-whois-asn-country-*.tgz
(cd "$work" && npm pack --silent "$spec" >/dev/null)
tarball=$(ls "$work"/ip-location-db-geo-whois-asn-country-*.tgz)
tar -xzf "$tarball" -C "$work"
version=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["version"])' "$work/package/package.json")

cmake -S tools/datcodec -B "$work/build-datcodec" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build-datcodec" -j2 >/dev/null
datcodec="$work/build-datcodec/datcodec"

python3 tools/datagen/make_ipanother.py --csv "$work/package/geo-whois-asn-country-ipv4-num.csv" \
  --special tools/datagen/ication.txt --source-version "$version" --out dat/ipanother.txt
python3 tools/datagen/make_location_names.py --out dat/location_en.txt
python3 tools/datagen/make_ptdescr.py --out "$work/ptdescr.txt"
"$datcodec" encode "$work/ptdescr.txt" dat/ptdescr.dat
"$datcodec" encode tools/datagen/ication.txt dat/ication.dat
"$datcodec" encode tools/datagen/config.txt dat/config.dat
cp tools/datagen/user.ini dat/user.ini

if cmake -S tools/imagegen -B "$work/build-imagegen" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null 2>&1 &&
   cmake --build "$work/build-imagegen" -j2 >/dev/null 2>&1; then
  QT_QPA_PLATFORM=offscreen "$work/build-imagegen/imagegen" "$root/dat"
else
  echo "imagegen could not be built (Qt 6 Gui missing?): images in dat/ left as they are" >&2
fi
echo "data files regenerated from $package $version"
