#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, the Windows cross-builds
# (x64 and x86) with their tests under 64- and 32-bit Wine, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the threaded suites under ThreadSanitizer
# and a bounded run of the driver's fuzz target. The QEMU hardware-in-the-loop
# suite and the Debian package checks (label package: cpack, lintian, desktop
# entry, metainfo, manual pages, the unpacked lptprobe) run as CTest tests of
# the normal build. Last, scripts/release.sh gathers the downloads in dist/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test

jobs=$(nproc)
# ccache keys on paths relative to the checkout, so a fresh clone elsewhere
# still hits what an earlier run compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
# Each stage says when it starts, counted from the start of the run.
stage() { printf '== [%dm%02ds] %s ==\n' $((SECONDS / 60)) $((SECONDS % 60)) "$1"; }
run_suite() {
  local dir=$1; shift
  # Explicit, since scripts/run.sh may have configured the folder without them.
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPINLARK_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" ${CTEST_ARGS:-})
}

stage "normal build"
run_suite build -DPINLARK_BENCH=ON -DPINLARK_WERROR=ON
stage "windows builds (MinGW cross-builds for x64 and x86, ZIPs and MSIs)"
bash scripts/build-windows.sh -DPINLARK_WERROR=ON
stage "windows x64 tests under Wine"
(cd build-windows && ctest --output-on-failure -j"$jobs" -L windows)
source scripts/wine-arch.sh
if wine_runs_32bit; then
  stage "windows x86 tests under 32-bit Wine"
  (cd build-windows32 && ctest --output-on-failure -j"$jobs" -L windows)
else
  # The kernel refuses i386 programs, so 32-bit Wine cannot start: the x86
  # download is still checked file by file.
  stage "windows x86 download checks (this kernel cannot run 32-bit Wine)"
  (cd build-windows32 && ctest --output-on-failure -j"$jobs" -L windows_files)
fi
stage "sanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
  CTEST_ARGS="-LE hil" run_suite build-asan -DPINLARK_SANITIZE=ON -DPINLARK_BENCH=OFF -DPINLARK_WERROR=ON

# ---- ThreadSanitizer and fuzzing ----
# Only the suites with threads in them: the flash timer's worker, work sent
# to the UI thread, the termination hook, the driver under concurrent
# sessions.
stage "ThreadSanitizer build (threaded suites)"
tsan_targets=(test_widgets_base test_forms signals_test emulation_test driver_sessions_test lptwdmio)
tsan_tests='^(FlashTest|ThreadTest|ThreadLifetime|CloseOnTerminationTest|TerminationHookTest|DriverSessionsTest)\.|RequestInProgress'
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPINLARK_SANITIZE=thread -DPINLARK_BENCH=OFF \
  -DPINLARK_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target "${tsan_targets[@]}"
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --output-on-failure -j"$jobs" -R "$tsan_tests")

# The fuzz target needs clang's libFuzzer: a small build of that target only.
stage "driver fuzz target (bounded run)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_CXX_COMPILER=clang++-14 -DPINLARK_FUZZ=ON -DPINLARK_TESTS=OFF -DPINLARK_BENCH=OFF \
  -DPINLARK_WERROR=ON >/dev/null
cmake --build build-fuzz -j"$jobs" --target lptwdmio_fuzz
(cd build-fuzz && ctest --output-on-failure -L fuzz)
# ---- end of ThreadSanitizer and fuzzing ----

stage "release folder"
bash scripts/release.sh >/dev/null

stage "all suites passed"
