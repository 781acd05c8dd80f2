#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
#   scripts/setup.sh            the Linux build and its tests
#   scripts/setup.sh --windows  and the Windows cross build with its tests under Wine
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libpcap-dev libbpf-dev bpftool llvm libssl-dev qt6-base-dev libgl-dev libsqlite3-dev qt6-translations-l10n libmicrohttpd-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-wqy-microhei iso-codes netbase iproute2 procps libcap2-bin curl openssl
  xvfb trayer imagemagick x11-utils xdotool
  # The window's captions read back from a screenshot, in English and Chinese.
  tesseract-ocr tesseract-ocr-eng tesseract-ocr-chi-sim
  prometheus systemd dpkg-dev file
  # A real QUIC client for the handshake-names end-to-end test (Debian 12's curl has no HTTP/3).
  chromium
)
if [ "${1:-}" = "--windows" ]; then
  # mingw-w64 with its winpthreads compilers, Wine to run the tests, jq to read the console's JSON.
  packages+=(g++-mingw-w64-x86-64 wine64 wine jq)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
