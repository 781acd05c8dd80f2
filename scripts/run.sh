#!/usr/bin/env bash
# Builds Lumivex and runs it: the window when a display is available, else the console
# front end (live tables reprinted every second; Ctrl-C ends it). Capture needs root or the
# capabilities CAP_NET_RAW, CAP_DAC_READ_SEARCH and CAP_SYS_PTRACE.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build/default -j "$(nproc)"
gui=build/default/app/shell/orvane
if [ -x "$gui" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$gui" "$@"
fi
exec build/default/cli/lumivex "$@"
