#!/usr/bin/env bash
# Installs what is missing, builds the palette with its tests and runs every test:
# unit, ui (offscreen) and e2e (the real program under Xvfb and openbox); then the same for the
# Windows program under Wine (scripts/test-windows.sh; PIKOME_SKIP_WINDOWS=1 leaves it out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --with-tests
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIKOME_WERROR=ON >/dev/null
cmake --build build/test
(cd build/test && ctest --output-on-failure "$@")
if [ -z "${PIKOME_SKIP_WINDOWS:-}" ]; then
    bash scripts/test-windows.sh "$@"
fi
