#!/usr/bin/env bash
# Cross-builds Pinlark for Windows: x64 into build-windows/ and x86 into
# build-windows32/ (programs, test programs and the signed kernel driver in
# bin/), then the downloads of each: pinlark-VERSION-win64.zip and
# pinlark-VERSION-x64.msi, pinlark-VERSION-win32.zip and pinlark-VERSION-x86.msi,
# in its build folder. Installs what is missing, builds FreeType and libpng
# for each architecture from Debian's source packages once, and reuses them
# from the build folder's deps/ or ~/.cache/pinlark afterwards.
#   bash scripts/build-windows.sh [--arch x64|x86] [extra cmake arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
arches=(x64 x86)
if [ "${1:-}" = --arch ]; then
  case ${2:-} in
    x64 | x86) arches=("$2") ;;
    *) echo "build-windows: --arch takes x64 or x86" >&2; exit 2 ;;
  esac
  shift 2
fi

bash scripts/setup.sh --windows

# The host packages fix which upstream versions are built, so the cross builds
# match the Linux build's; the archive's current Debian revision of each is used.
ft_version=$(dpkg-query -W -f='${source:Upstream-Version}' libfreetype-dev)
png_version=$(dpkg-query -W -f='${source:Upstream-Version}' libpng-dev)
stamp="freetype-${ft_version}-libpng-${png_version}"

enable_source_packages() {
  if apt-get source --print-uris freetype >/dev/null 2>&1; then return; fi
  echo "build-windows: enabling Debian source packages"
  local list=/etc/apt/sources.list.d/pinlark-sources.sources
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # The same archives as the binary packages, as deb-src.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n 's/^Types:.*deb\b.*/Types: deb-src/p;/^\(URIs\|Suites\|Components\|Signed-By\):/p;/^$/p' \
      /etc/apt/sources.list.d/debian.sources | $SUDO tee "$list" >/dev/null
  else
    list=/etc/apt/sources.list.d/pinlark-sources.list
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee "$list" >/dev/null
  fi
  $SUDO apt-get update -qq
}

# Unpacks the newest revision of a source package for the given upstream
# version that the archive actually serves (an index may list one a mirror
# no longer holds).
fetch_source() {
  local package=$1 upstream=$2 version
  for version in $(apt-cache showsrc --only-source "$package" | sed -n 's/^Version: //p' | sort -rV); do
    case $version in "$upstream"-*) ;; *) continue ;; esac
    apt-get source -qq "$package=$version" >/dev/null 2>&1 && return 0
    rm -rf ./"$package"[-_]*
  done
  echo "build-windows: no source of $package $upstream could be fetched" >&2
  return 1
}

cross_cmake() {
  local src=$1 dir=$2; shift 2
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" -DPINLARK_MINGW_ARCH="$processor" \
    -DPINLARK_WINDOWS_DEPS="$deps" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  cmake --install "$dir" >/dev/null
}

build_deps() {
  enable_source_packages
  local work
  work=$(mktemp -d)
  # A RETURN trap outlives its function in bash: this one clears itself.
  trap 'rm -rf "$work"; trap - RETURN' RETURN
  echo "build-windows: building FreeType $ft_version and libpng $png_version for $triplet"
  (cd "$work" && fetch_source freetype "$ft_version" && fetch_source libpng1.6 "$png_version")
  local ft_src png_src
  ft_src=$(find "$work" -maxdepth 1 -type d -name "freetype-$ft_version*" | head -1)
  png_src=$(find "$work" -maxdepth 1 -type d -name "libpng1.6-$png_version*" | head -1)
  [ -n "$ft_src" ] && [ -n "$png_src" ] || { echo "build-windows: source packages missing" >&2; exit 1; }
  rm -rf "$deps.partial"
  mkdir -p "$(dirname "$deps")"
  local final=$deps
  deps=$deps.partial
  cross_cmake "$png_src" "$work/png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON
  cross_cmake "$ft_src" "$work/ft" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  # Installed paths are relative to the prefix, so the tree can move.
  mv "$deps" "$final"
  deps=$final
}

# One architecture: its dependencies, its build, its downloads.
build_arch() {
  local arch=$1; shift
  case $arch in
    x64) processor=x86_64 build=$root/build-windows ;;
    x86) processor=i686 build=$root/build-windows32 ;;
  esac
  triplet=$processor-w64-mingw32
  deps=$build/deps/$stamp
  local cache=${XDG_CACHE_HOME:-$HOME/.cache}/pinlark/mingw-$triplet-$stamp
  if [ ! -d "$deps" ]; then
    if [ -d "$cache" ]; then
      mkdir -p "$(dirname "$deps")"
      cp -a "$cache" "$deps"
    else
      build_deps
      mkdir -p "$(dirname "$cache")"
      rm -rf "$cache.partial"
      cp -a "$deps" "$cache.partial" && mv "$cache.partial" "$cache"
    fi
  fi

  echo "build-windows: $arch in $build"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" -DPINLARK_MINGW_ARCH="$processor" \
    -DPINLARK_WINDOWS_DEPS="$deps" -DPINLARK_BENCH=OFF "$@" >/dev/null
  cmake --build "$build" -j"$jobs"
  # The ZIP and the MSI (packaging/windows).
  (cd "$build" && cpack >/dev/null)
  ls "$build"/pinlark-*.zip "$build"/pinlark-*.msi
}

for arch in "${arches[@]}"; do
  build_arch "$arch" "$@"
done
