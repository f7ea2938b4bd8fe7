#!/usr/bin/env bash
# Builds the game and starts it in its generated assets folder.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane assets
cd build/assets
exec ../quorvane "$@"
