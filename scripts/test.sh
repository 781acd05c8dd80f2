#!/usr/bin/env bash
# Builds Lumivex and runs every test.
#   scripts/test.sh         normal build, all tests
#   scripts/test.sh --ci    the above, then an install into a temporary prefix run once as an
#                           unprivileged user, every test under ASan+UBSan, the engine tests
#                           under TSan, the engine on the stub backend, and each fuzz target
#                           for a bounded time
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
werror=()
[ "${CI:-}" = "true" ] && werror=(-DLUMIVEX_WERROR=ON)

stage() { printf '\n==== %s ====\n' "$*"; }

configure_and_build() {
  cmake --preset "$1" "${werror[@]}" >/dev/null
  cmake --build "build/$1" -j "$jobs"
}

stage "build (RelWithDebInfo)"
configure_and_build default
stage "tests"
ctest --test-dir build/default --output-on-failure -j "$jobs"

if [ "${1:-}" = "--ci" ]; then
  stage "install into a temporary prefix, run as nobody"
  bash tests/cli/install_check.sh build/default || [ $? -eq 77 ]

  stage "build (ASan+UBSan)"
  configure_and_build asan
  stage "tests under ASan+UBSan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs"

  stage "build (TSan)"
  configure_and_build tsan
  stage "engine unit and end-to-end tests and the history recorder under TSan"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan --output-on-failure -L '^(engine|engine-e2e|history)$' -j "$jobs"

  stage "engine on the stub platform backend (the first step to other systems)"
  cmake -S . -B build/stub -G Ninja -DLUMIVEX_PLATFORM_BACKEND=stub -DLUMIVEX_BUILD_GUI=OFF \
    -DLUMIVEX_BUILD_BENCH=OFF "${werror[@]}" >/dev/null
  cmake --build build/stub -j "$jobs" --target capengine lumivex capture_tests
  # The listener test needs the raw sockets only a real backend has.
  build/stub/tests/capture/capture_tests --gtest_filter='-Listener.*' --gtest_brief=1

  stage "build (fuzz targets)"
  configure_and_build fuzz
  stage "fuzzing"
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
fi
