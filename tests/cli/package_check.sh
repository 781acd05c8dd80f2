#!/usr/bin/env bash
# Builds the Debian package of a build, installs it on this machine, checks what it installed
# and removes it again. Needs root and dpkg; exits 77 (skipped) without them, or when a
# lumivex package is installed already (it is left alone).
#   tests/cli/package_check.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: package_check.sh BUILD_DIR}" && pwd)
if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null; then
  echo "skipped: installing a package needs root and dpkg"
  exit 77
fi
if dpkg-query -W -f='${Status}' lumivex 2>/dev/null | grep -q installed; then
  echo "skipped: a lumivex package is installed already"
  exit 77
fi
work=$(mktemp -d)
installed=
cleanup() {
  [ -n "$installed" ] && dpkg -P lumivex >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null 2>&1) || fail "cpack failed"
deb="$work/lumivex_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libpcap0.8 libbpf1 libmicrohttpd12 libqt6widgets6; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -q qt6-translations-l10n <<<"$recommends" || fail "the package does not recommend qt6-translations-l10n: $recommends"

installed=yes
dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
for program in /usr/bin/lumivex /usr/bin/orvane; do
  for cap in cap_net_raw cap_dac_read_search cap_sys_ptrace cap_bpf cap_perfmon cap_net_admin; do
    getcap "$program" | grep -q "$cap" || fail "$program lacks $cap: $(getcap "$program")"
  done
done
/usr/bin/lumivex --help | grep -q '^usage: lumivex' || fail "lumivex --help failed"
report=$(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all /usr/bin/lumivex --seconds 1 --json --no-history) ||
  fail "the packaged program failed as nobody"
grep -q '"capturing": true' <<<"$report" || fail "the packaged program does not capture as nobody: $report"
unit=/usr/lib/systemd/system/lumivex.service
grep -qx 'ExecStart=/usr/bin/lumivex --service --metrics 127.0.0.1:9813' "$unit" || fail "no unit for /usr/bin/lumivex"
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$unit" || fail "$unit does not verify"
fi
[ ! -e /etc/systemd/system/multi-user.target.wants/lumivex.service ] || fail "the service was enabled"
grep -qx 'Exec=/usr/bin/orvane' /usr/share/applications/orvane.desktop || fail "no desktop entry for /usr/bin/orvane"
[ -f /usr/share/icons/hicolor/64x64/apps/orvane.png ] || fail "no icon"
[ -f /usr/share/lumivex/grafana/lumivex.json ] || fail "no Grafana dashboard"
[ -f /usr/bin/dat/config.dat ] || fail "no data beside the programs"

files=$(dpkg-query -L lumivex | grep -v '^/usr$\|^/usr/[a-z]*$\|^/\.$')
dpkg -r lumivex >/dev/null || fail "dpkg -r failed"
installed=
left=$(while read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done <<<"$files" || true)
[ -z "$left" ] || fail "dpkg -r left: $left"
[ ! -e /usr/bin/dat ] || fail "dpkg -r left /usr/bin/dat"
! dpkg-query -W -f='${Status}' lumivex 2>/dev/null | grep -q ' installed' || fail "still installed"
# What dpkg keeps of a removed package (its scripts) goes with a purge.
dpkg -P lumivex >/dev/null || fail "dpkg -P failed"
! dpkg-query -W lumivex >/dev/null 2>&1 || fail "dpkg still knows lumivex after a purge"
echo "package check passed: $(basename "$deb") installs with its capabilities and removes cleanly"
