#!/usr/bin/env bash
# Builds Lumivex and runs every test.
#   scripts/test.sh         normal build, all tests
#   scripts/test.sh --ci    the above, then an install into a temporary prefix run once as an
#                           unprivileged user, the Debian package installed and removed again,
#                           every test under ASan+UBSan, the engine tests
#                           under TSan, the engine on the stub backend, the Windows build with
#                           its tests under Wine, and each fuzz target for a bounded time
#   scripts/test.sh --windows  the Windows build (mingw-w64) only: its tests under Wine and
#                           its ZIP package
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
if [ "$mode" = "--windows" ] || [ "$mode" = "--ci" ]; then
  bash scripts/setup.sh --windows
else
  bash scripts/setup.sh
fi

jobs=$(nproc)
werror=()
[ "${CI:-}" = "true" ] && werror=(-DLUMIVEX_WERROR=ON)

stage() { printf '\n==== %s (at %d s) ====\n' "$*" "$SECONDS"; }

configure_and_build() {
  cmake --preset "$1" "${werror[@]}" >/dev/null
  cmake --build "build/$1" -j "$jobs"
}

# The Windows build: cross-built with mingw-w64, its tests run under Wine in a prefix of the
# build folder, served by one wineserver that stays up for the whole run (a server started
# by each test program would race the others), and its ZIP package.
windows_stage() {
  stage "build (Windows, mingw-w64)"
  configure_and_build windows
  # No header of the build machine reaches the Windows build: no include folder of its own
  # system, nothing of the Linux backend.
  if grep -noE -e '-I ?/usr/include\b|-isystem ?/usr/include\b|platform/linux' build/windows/compile_commands.json; then
    echo "the Windows build takes Linux headers (above)" >&2
    exit 1
  fi
  stage "Windows tests under Wine"
  export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  # The prefix's services start here, their output thrown away, also when the prefix is
  # there from an earlier run: started by a test, they would hold that test's output pipe open
  # and ctest would wait on it until the test's time-out.
  if [ -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot >/dev/null 2>&1
  else
    timeout 300 wineboot -i >/dev/null 2>&1
  fi
  ctest --test-dir build/windows --output-on-failure -j "$jobs"
  stage "Windows package"
  (cd build/windows && cpack -G ZIP >/dev/null)
  local version zip
  version=$(sed -n 's/^project(Lumivex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  zip="build/windows/lumivex-$version-windows-x64.zip"
  # The listing is read whole: grep -q would close the pipe early, and pipefail would then
  # report the listing's SIGPIPE as a failure.
  local listing
  listing=$(cmake -E tar tf "$zip")
  for entry in lumivex.exe capengine.dll dat/config.dat; do
    grep -qx "lumivex-$version-windows-x64/$entry" <<<"$listing"
  done
  echo "$zip"
  wineserver -k 2>/dev/null || true
  trap - EXIT
}

if [ "$mode" = "--windows" ]; then
  windows_stage
  exit 0
fi

stage "build (RelWithDebInfo)"
configure_and_build default
stage "tests"
ctest --test-dir build/default --output-on-failure -j "$jobs"

if [ "$mode" = "--ci" ]; then
  stage "install into a temporary prefix, run as nobody"
  bash tests/cli/install_check.sh build/default || [ $? -eq 77 ]
  stage "Debian package: built, installed, checked, removed"
  bash tests/cli/package_check.sh build/default || [ $? -eq 77 ]

  # Left out of the sanitizer stages, run in the normal build above:
  # - the end-to-end tests that compare counts with the wire: beside the other end-to-end tests
  #   (two engines counting in the kernel at once) they came up short, while alone under ASan
  #   they pass; the window's recording test runs two engines (the window and a console) by
  #   design;
  # - two banner tests that decode a JPEG: LeakSanitizer's own tracer crashes at their exit
  #   while it reads the thread-local storage of the dlopen()ed image plugin ("Tracer caught
  #   signal 11", a bogus DTLS range), before it reports anything.
  concurrent_kernel='ShortLivedProgramsGetEveryByteUnderTheirName|HistoryEndToEnd|RecordsItsHistoryWhileAConsoleRunAlongside'
  lsan_tracer='BannerImageTest\.(JpegIsOneStillFrame|ImageBombsAreRefusedBeforeDecoding)'

  stage "build (ASan+UBSan)"
  configure_and_build asan
  stage "tests under ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs" -E "$concurrent_kernel|$lsan_tracer"

  stage "build (TSan)"
  configure_and_build tsan
  stage "engine unit and end-to-end tests and the history recorder under TSan"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -L '^(engine|engine-e2e|history)$' -j "$jobs" -E "$concurrent_kernel"

  stage "engine on the stub platform backend (the first step to other systems)"
  cmake -S . -B build/stub -G Ninja -DLUMIVEX_PLATFORM_BACKEND=stub -DLUMIVEX_BUILD_GUI=OFF \
    -DLUMIVEX_BUILD_BENCH=OFF "${werror[@]}" >/dev/null
  cmake --build build/stub -j "$jobs" --target capengine lumivex capture_tests
  # The listener test needs the raw sockets only a real backend has.
  build/stub/tests/capture/capture_tests --gtest_filter='-Listener.*' --gtest_brief=1

  windows_stage

  stage "build (fuzz targets)"
  configure_and_build fuzz
  stage "fuzzing"
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
fi
