#!/usr/bin/env bash
# Fails when a tracked .cpp/.h strays from .clang-format, naming the files.
set -euo pipefail
cd "$1"
if ! command -v clang-format >/dev/null; then
  echo "clang-format not installed: tools/install-deps.sh installs it"
  exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
# One run over every file; its warnings start with the file's name.
if ! out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "not formatted (run clang-format -i):"
  printf '%s\n' "$out" | grep -oE '^[^:]+\.(cpp|h)' | sort -u
  exit 1
fi
echo "${#files[@]} files formatted"
