#!/usr/bin/env bash
# Prints test lines against the rest of the C++: non-blank lines that are not only a // comment,
# in tracked .cpp/.h files under tests/ against every other tracked .cpp/.h file.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { if [ $# -eq 0 ]; then echo 0; else cat -- "$@" | grep -cvE '^[[:space:]]*(//.*)?$' || true; fi; }
mapfile -t tests < <(git ls-files -- 'tests/*.cpp' 'tests/*.h')
mapfile -t rest < <(git ls-files -- '*.cpp' '*.h' | grep -v '^tests/')
t=$(count "${tests[@]}")
r=$(count "${rest[@]}")
awk -v t="$t" -v r="$r" 'BEGIN { printf "tests %d, rest %d, ratio %.3f\n", t, r, (r ? t / r : 0) }'
