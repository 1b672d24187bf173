#!/usr/bin/env bash
# The Windows program: builds Qt for Windows once (scripts/build-qt-windows.sh), cross-compiles
# the palette with its tests into build/windows/, packs the portable zip, and runs the tests
# under Wine: the unit and ui tests on Qt's offscreen platform, the Win32 desktop against real
# windows, and the zip pasting into Wine's notepad. Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --with-tests
echo "== Qt for Windows =="
time bash scripts/build-qt-windows.sh build/qt-windows
echo "== the Windows program and its tests =="
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_PREFIX_PATH="$PWD/build/qt-windows" -DQT_HOST_PATH=/usr \
    -DCMAKE_BUILD_TYPE=Release -DPIKOME_WERROR=ON >/dev/null
time cmake --build build/windows --target all windows_zip
echo "== under Wine =="
cd build/windows
status=0
time ctest --output-on-failure "$@" || status=$?
# The tests' Wine server stays for the next test; nothing needs it now.
WINEPREFIX="$PWD/wineprefix" wineserver -k 2>/dev/null || true
exit "$status"
