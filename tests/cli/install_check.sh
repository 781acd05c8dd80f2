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
report=$(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all "$program" --seconds 2 --json --no-history) ||
  fail "the installed program failed as nobody"
grep -q '"privileged": true' <<<"$report" || fail "not privileged as nobody: $report"
grep -q '"capturing": true' <<<"$report" || fail "no capture as nobody: $report"

# The service: its unit names the installed program and verifies; the program runs as the
# unit runs it (another user, the unit's capabilities as ambient ones, no new privileges,
# the cgroup and kernel settings read-only) and still counts with eBPF.
unit="$prefix/lib/systemd/system/lumivex.service"
grep -qx "ExecStart=$program --service --metrics 127.0.0.1:9813" "$unit" || fail "$unit does not start $program"
systemd-analyze verify "$unit" || fail "$unit does not verify"
caps=+net_raw,+dac_read_search,+sys_ptrace,+bpf,+perfmon,+net_admin
state="$work/state"
mkdir -m 777 "$state"
readonly_dirs="/proc/sys $(awk '$3 == "cgroup2" { print $2 }' /proc/mounts)"
log=$(unshare -m --propagation private sh -c "
  for d in $readonly_dirs; do mount --bind \$d \$d && mount -o remount,bind,ro \$d; done
  STATE_DIRECTORY='$state' setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all,$caps \
    --ambient-caps=-all,$caps --bounding-set=-all,$caps --no-new-privs '$program' --service --seconds 2 \
    --metrics 127.0.0.1:0" 2>&1) || fail "the service failed: $log"
grep -q "service: started, event source ebpf" <<<"$log" || fail "the service does not count with eBPF: $log"
grep -q "history stopped (recording, $state/history.sqlite)" <<<"$log" && [ -s "$state/history.sqlite" ] ||
  fail "the service recorded no history in its state directory: $log"

# The window program, when built, is installed the same way.
window="$prefix/bin/orvane"
if [ -e "$window" ]; then
  readelf -d "$window" | grep -q "RUNPATH.*\[$prefix/lib\]" || fail "$window does not look in $prefix/lib"
  getcap "$window" | grep -q cap_net_raw || fail "$window has no capabilities"
  grep -qx "Exec=$window" "$prefix/share/applications/orvane.desktop" || fail "no desktop entry for $window"
fi

# A staged install (DESTDIR) names the final prefix and gives the staged file its capabilities.
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /opt/lumivex-install-check >/dev/null
staged="$stage/opt/lumivex-install-check/bin/lumivex"
readelf -d "$staged" | grep -q 'RUNPATH.*\[/opt/lumivex-install-check/lib\]' || fail "$staged names the wrong library folder"
getcap "$staged" | grep -q cap_net_raw || fail "$staged has no capabilities"
echo "install check passed: $program captures as nobody"
