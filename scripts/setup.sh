#!/usr/bin/env bash
# Installs whatever Debian packages are missing. Safe to run again; does
# nothing when all are there.
#   setup.sh             what building and starting the program needs
#   setup.sh --headless  and Xvfb and xdotool, to run without a display
#   setup.sh --package   and what cpack needs to build the Debian package
#   setup.sh --hil       and the QEMU hardware-in-the-loop bits
#   setup.sh --windows   and the MinGW cross compilers, 64- and 32-bit Wine, the
#                        signing tools and the MSI builder
#   setup.sh --test      and every test toolchain (all of the above)
set -euo pipefail

# Building and starting the program.
packages=(
  build-essential cmake pkg-config
  libx11-dev libfreetype-dev libfontconfig-dev libpng-dev
  fonts-dejavu-core
)
# Running it without a display (scripts/run.sh saves a screenshot).
headless_packages=(xvfb xdotool)
# Building the Debian package (dpkg-shlibdeps, file).
package_packages=(dpkg-dev file)
# Hardware in the loop (ctest -L hil).
hil_packages=(qemu-system-x86 busybox-static cpio)
# The test suites, the benchmarks and the package checks.
test_packages=(
  git ccache
  libgtest-dev libgmock-dev libbenchmark-dev clang-format
  xvfb xdotool xauth
  g++-mingw-w64-x86-64
  lintian desktop-file-utils appstream man-db
  sigrok-cli python3-pytest mypy
  clang-14 libclang-rt-14-dev
)
# Windows cross-build (scripts/build-windows.sh): posix-thread MinGW for x64
# and x86, zlib for the cross-built FreeType, dpkg-dev to unpack Debian's
# source packages, GoogleTest's sources, Wine to run the results (wine32, an
# i386 package, runs the x86 build and its kernel driver), the driver's
# signing tools, wixl for the MSI installers (msiinfo to read them back), and
# Xvfb and xdotool for the windows under Wine.
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-i686-posix libz-mingw-w64-dev dpkg-dev googletest wine wine64 wine32:i386 osslsigncode openssl
  wixl msitools xvfb xdotool)

for option in "$@"; do
  case $option in
    --headless) packages+=("${headless_packages[@]}") ;;
    --package) packages+=("${package_packages[@]}") ;;
    --hil) packages+=("${hil_packages[@]}") ;;
    --windows) packages+=("${windows_packages[@]}") ;;
    --test) packages+=("${test_packages[@]}" "${package_packages[@]}" "${hil_packages[@]}" "${windows_packages[@]}") ;;
    *)
      echo "setup: unknown option $option (use --headless, --package, --hil, --windows or --test)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# Packages of another architecture (wine32:i386) need it known to dpkg first.
for p in "${missing[@]}"; do
  case $p in
    *:*)
      arch=${p##*:}
      [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --print-foreign-architectures | grep -qx "$arch" ||
        $SUDO dpkg --add-architecture "$arch"
      ;;
  esac
done
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
