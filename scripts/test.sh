#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. The Windows compile check,
# the QEMU hardware-in-the-loop suite and the Debian package checks (label
# package: cpack, lintian, desktop entry, metainfo, manual pages, the unpacked
# lptprobe) run as CTest tests of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test

jobs=$(nproc)
run_suite() {
  local dir=$1; shift
  # Explicit, since scripts/run.sh may have configured the folder without them.
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPINLARK_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" ${CTEST_ARGS:-})
}

echo "== normal build =="
run_suite build -DPINLARK_BENCH=ON -DPINLARK_WERROR=ON
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
  CTEST_ARGS="-LE hil" run_suite build-asan -DPINLARK_SANITIZE=ON -DPINLARK_BENCH=OFF -DPINLARK_WERROR=ON
echo "== all suites passed =="
