#!/usr/bin/env bash
# Builds the game and starts it in its generated assets folder. Installs only what building
# and playing need (tools/install-deps.sh); the tests' tools come with ./test.sh.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quorvane assets
cd build/assets
exec ../quorvane "$@"
