#!/usr/bin/env bash
# The three ways the real binary can present on X11, compared on the same frames: the CPU of the
# game and of the X server (Xvfb, full screen, no GPU) over the first SECONDS of a replay, in
# turn, ROUNDS times. own: our ring of shared-memory band images (the default); surface: our
# scaling into SDL's window surface (QUORVANE_X11_PRESENT=0); software: SDL's software renderer.
# Usage: tools/measure-present.sh BUILD_DIR [ROUNDS] [SECONDS] [WIDTHxHEIGHT] [RECORDING]
set -uo pipefail
build=$(cd "$1" && pwd)
rounds=${2:-3}
secs=${3:-30}
size=${4:-1920x1080}
rec=$(realpath "${5:-$(dirname "$0")/../tests/replays/bo5-long.qvr}")
source "$(dirname "$0")/../tests/xvfb.sh"
xvfb_start "$size" || fail "Xvfb did not start"
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ t += $1 } END { printf "%d", t }'; }
percent() { awk -v a="$1" -v b="$2" -v s="$secs" 'BEGIN { printf "%.2f", (b - a) / 1e7 / s }'; }
log=$(mktemp)
on_exit() { rm -f "$log"; }
for r in $(seq "$rounds"); do
  for path in own surface software; do
    case $path in
      own) envs=() ;;
      surface) envs=(QUORVANE_X11_PRESENT=0) ;;
      software) envs=(SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0) ;;
    esac
    (cd "$build/assets" && exec env "${envs[@]}" QUORVANE_REPORT_PRESENTS=1 "$build/quorvane" --replay "$rec") \
      >/dev/null 2>"$log" &
    game=$!
    xvfb_game_window 100 "$log"
    g0=$(cpu_ns $game)
    x0=$(cpu_ns "$xvfb")
    sleep "$secs"
    g1=$(cpu_ns $game)
    x1=$(cpu_ns "$xvfb")
    kill -0 "$xvfb" 2>/dev/null || fail "the X server went away"
    rss=$(awk '/VmHWM/ { printf "%.1f MiB", $2 / 1024 }' /proc/$game/status)
    kill $game
    wait $game 2>/dev/null
    game=""
    echo "$path, round $r (load $(cut -d' ' -f1 /proc/loadavg)): game $(percent "$g0" "$g1") %," \
      "X server $(percent "$x0" "$x1") % of a core, peak $rss"
    sed -n 's/^quorvane: presents /  presents /p' "$log"
  done
done
