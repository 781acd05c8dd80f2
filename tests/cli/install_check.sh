#!/usr/bin/env bash
# Installs a build into a temporary prefix (and once more under DESTDIR) and runs the installed
# lumivex once as an unprivileged user: it must find its library and capture on its file
# capabilities alone. Needs root (setcap, setpriv); exits 77 (skipped) without it.
#   tests/cli/install_check.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: install_check.sh BUILD_DIR}
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing with capabilities needs root"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "install check: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
program="$prefix/bin/lumivex"
readelf -d "$program" | grep -q "RUNPATH.*\[$prefix/lib\]" || fail "$program does not look in $prefix/lib"
getcap "$program" | grep -q cap_net_raw || fail "$program has no capabilities"
"$program" --help >/dev/null || fail "--help failed"
report=$(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$program" --seconds 2 --json) ||
  fail "the installed program failed as nobody"
grep -q '"privileged": true' <<<"$report" || fail "not privileged as nobody: $report"
grep -q '"capturing": true' <<<"$report" || fail "no capture as nobody: $report"

# The window program, when built, is installed the same way.
window="$prefix/bin/orvane"
if [ -e "$window" ]; then
  readelf -d "$window" | grep -q "RUNPATH.*\[$prefix/lib\]" || fail "$window does not look in $prefix/lib"
  getcap "$window" | grep -q cap_net_raw || fail "$window has no capabilities"
  [ -f "$prefix/share/applications/orvane.desktop" ] || fail "no desktop entry"
fi

# A staged install (DESTDIR) names the final prefix and gives the staged file its capabilities.
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /opt/lumivex-install-check >/dev/null
staged="$stage/opt/lumivex-install-check/bin/lumivex"
readelf -d "$staged" | grep -q 'RUNPATH.*\[/opt/lumivex-install-check/lib\]' || fail "$staged names the wrong library folder"
getcap "$staged" | grep -q cap_net_raw || fail "$staged has no capabilities"
echo "install check passed: $program captures as nobody"
