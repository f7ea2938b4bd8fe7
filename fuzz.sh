#!/usr/bin/env bash
# ./fuzz.sh --list          names of the fuzz targets, one a line
# ./fuzz.sh TARGET SECONDS  builds with clang (libFuzzer + ASan + UBSan) and fuzzes one target
set -euo pipefail
cd "$(dirname "$0")"
targets() { shopt -s nullglob; for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp | sed 's/^fuzz_//'; done; }
if [ "${1:-}" = "--list" ]; then targets; exit 0; fi
if [ $# -ne 2 ]; then echo "usage: $0 --list | TARGET SECONDS" >&2; exit 2; fi
target=$1 seconds=$2
# Not a pipe into grep -q: grep leaving early would fail the pipeline under pipefail.
case " $(targets | tr '\n' ' ') " in *" $target "*) ;; *) echo "unknown target '$target'; try --list" >&2; exit 2 ;; esac

./tools/install-deps.sh --fuzz
dir=build-fuzz
if [ ! -f "$dir/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_SANITIZE=ON \
    -DQUORVANE_FUZZ=ON -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" --target "fuzz_$target" assets >/dev/null

# Corpus: the hand-made edge files plus what our asset generator makes.
corpus="$dir/corpus/$target"
mkdir -p "$corpus"
./fuzz/make_seeds.sh "$dir/seeds"
cp -n "$dir"/seeds/"$target"/* "$corpus"/
case $target in
  bmp) cp -n "$dir"/assets/*.BMP "$corpus"/ ;;
  palette) cp -n "$dir"/assets/*.PAL "$corpus"/ ;;
  wav) cp -n "$dir"/assets/*.WAV "$corpus"/ ;;
  midi) cp -n "$dir"/assets/*.MID "$corpus"/ ;;
esac

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy
mkdir -p "$dir/crashes"
"$dir/fuzz_$target" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 \
  -artifact_prefix="$dir/crashes/$target-" -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
