#!/usr/bin/env bash
# Installs what is missing, builds the palette and starts it.
# The program keeps its files in the folder that holds the executable: build/release/
# (a copy installed into a bin folder keeps them in ~/.local/share/pikome instead).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPIKOME_TESTS=OFF -DPIKOME_WERROR=ON >/dev/null
cmake --build build/release --target pikome
exec build/release/pikome
