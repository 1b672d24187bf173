#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own qt6-base source package with the mingw-w64
# compiler: only the modules and features the palette uses (about 20 minutes on 2 cores). The host
# tools (moc, rcc, uic) are Debian's Linux ones, of the same version.
#
#   scripts/build-qt-windows.sh [PREFIX]     (default: build/qt-windows)
#
# Nothing in /etc/apt changes: the source package comes through a private sources list that holds
# one deb-src line for the archive apt already uses. A PREFIX that already holds this build is kept.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="$(realpath -m "${1:-$root/build/qt-windows}")"
work="$(realpath -m "$prefix-work")"
stamp="$prefix/.pikome-qt-build"
options=(
    -DBUILD_SHARED_LIBS=ON -DCMAKE_BUILD_TYPE=Release
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_openssl=OFF -DFEATURE_testlib_selfcover=OFF
    # the palette opens no connection and reads no image file: no Network, no JPEG or GIF plugin
    -DFEATURE_network=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    # Debian's source leaves out the tablet SDK header the windows platform plugin includes
    -DFEATURE_tabletevent=OFF
    # the third-party libraries come from Qt's own copies: mingw has none of them
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_doubleconversion=OFF
)
want="$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-16)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
    echo "Qt for Windows is already built in $prefix"
    exit 0
fi

command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
    echo "the mingw-w64 compiler is missing: scripts/install-deps.sh --windows installs it" >&2
    exit 1
}
host_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"

mkdir -p "$work"
cd "$work"
if [ ! -d src ]; then
    # apt-get source, pointed at a sources list of our own with the deb-src line of the archive apt
    # already uses, and with state and cache directories of our own.
    uri="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources 2>/dev/null \
        | grep -E '^(URIs:|deb )' | grep -m1 -oE 'https?://[^ ]*debian[^ ]*' || true)"
    uri="${uri:-http://deb.debian.org/debian}"
    mkdir -p apt/lists/partial apt/cache/archives/partial
    echo "deb-src [trusted=yes] $uri bookworm main" > apt/sources.list
    apt_opts=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
              -o APT::Sandbox::User=root)
    apt-get "${apt_opts[@]}" update -qq
    apt-get "${apt_opts[@]}" source --download-only -qq "qt6-base=$host_version"
    tar xf qt6-base_*.orig.tar.xz
    mv qtbase-everywhere-src-* src
    # Debian's patches include fixes that the Linux tools this build runs were built with.
    if [ -f qt6-base_*.debian.tar.xz ]; then
        tar xf qt6-base_*.debian.tar.xz
        if [ -f debian/patches/series ]; then
            while read -r p; do
                case "$p" in ''|'#'*) continue ;; esac
                patch -d src -p1 -s -N < "debian/patches/$p" || echo "skipped Debian patch $p"
            done < debian/patches/series
        fi
    fi
fi

cmake -S src -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_BUILD_SUBMODULES=qtbase \
    "${options[@]}" >build.log 2>&1 || { tail -40 build.log >&2; exit 1; }
# Only the modules the palette links, their plugins and the tools' configuration.
cmake --build build >>build.log 2>&1 || { grep -m20 -B2 -A8 'error' build.log >&2; tail -30 build.log >&2; exit 1; }
cmake --install build >>build.log 2>&1
# Qt's licences travel with its libraries (packaging/windows puts them into the zip).
mkdir -p "$prefix/licenses"
cp src/LICENSES/LGPL-3.0-only.txt src/LICENSES/GPL-2.0-only.txt src/LICENSES/GPL-3.0-only.txt "$prefix/licenses/"
echo "$want" > "$stamp"
rm -rf "$work/build"
echo "Qt for Windows built in $prefix"
