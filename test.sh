#!/usr/bin/env bash
# Builds everything into build/ and runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh --test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=ON -DQUORVANE_BENCH=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300
