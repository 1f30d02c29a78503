#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, the Windows cross-build
# with its tests under Wine, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer. The Windows compile check and
# the QEMU hardware-in-the-loop suite run as CTest tests of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --hil

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" ${CTEST_ARGS:-})
}

echo "== normal build =="
run_suite build -DPINLARK_WERROR=ON
echo "== windows build (MinGW cross-build, tests under Wine) =="
bash scripts/build-windows.sh -DPINLARK_WERROR=ON
(cd build-windows && ctest --output-on-failure -j"$jobs" -L windows)
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
  CTEST_ARGS="-LE hil" run_suite build-asan -DPINLARK_SANITIZE=ON -DPINLARK_BENCH=OFF -DPINLARK_WERROR=ON
echo "== all suites passed =="
