#!/usr/bin/env bash
# A quick tap of Escape quits the real binary, with its fade, while the computer has the turn and
# while a recording plays: frames whose keys come from elsewhere never read the keyboard.
# Usage: escape.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/escape.
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)

source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert
xvfb_artifacts "$build" escape
# The screen the size of the game: full screen shows it 1:1.
xvfb_start 640x480 || fail "Xvfb did not start within 30 s"

# The fade alone takes 0.96 s and the game quits in about 1.1 s on a quiet machine (the headless
# tests hold it to 1.2 s); the rest is slack for a busy one. Before, it took 6 to 20 s.
LIMIT_MS=4000

count() { # file WxH+X+Y fx-expression
  convert "$1" -crop "$2" +repage -fx "$3" -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}

start_game() { # log, arguments...
  local log=$1
  shift
  (cd "$build/assets" && exec "$build/quorvane" "$@") >"$log" 2>&1 &
  game=$!
  xvfb_game_window 150 "$log"
}

# Polls screenshots (up to TENTHS tenths of a second) until the green status line of play shows.
wait_play() { # tenths name
  local green
  for _ in $(seq "$1"); do
    import -window root "$art/escape-$2.png"
    green=$(count "$art/escape-$2.png" 640x16+0+0 "g>0.8&&r<0.3&&b<0.3")
    [ "${green:-0}" -gt 100 ] && return 0
    sleep 0.1
  done
  fail "$2: no play screen within $(($1 / 10)) s"
}

# Taps Escape and polls for the game's exit; its time in $ms, its exit code in $rc.
tap_escape_and_time() { # what
  local t0 t1
  t0=$(date +%s%N)
  xdotool key --window "$win" Escape
  for _ in $(seq 1000); do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.01
  done
  t1=$(date +%s%N)
  ms=$(((t1 - t0) / 1000000))
  kill -0 "$game" 2>/dev/null && fail "$1: the game still runs $ms ms after a tap of Escape"
  wait "$game"
  rc=$?
  game=""
  [ "$ms" -le $LIMIT_MS ] || fail "$1: the game took $ms ms to quit after a tap of Escape"
}

# The computer plays player 1 and so has the first turn: it thinks for a second and walks its aim.
start_game "$art/escape-computer.log" --computer 1
sleep 0.5
xdotool key --window "$win" Return
wait_play 100 computer
tap_escape_and_time "computer's turn"
[ $rc -eq 0 ] || fail "computer's turn: exit code $rc"
echo "computer's turn: quit $ms ms after the tap"

# A replay of the long match: the tap stops it, and it says where.
start_game "$art/escape-replay.log" --replay "$src/tests/replays/bo5-long.qvr"
wait_play 100 replay
sleep 1
tap_escape_and_time "replay"
[ $rc -eq 0 ] || fail "replay: exit code $rc: $(cat "$art/escape-replay.log")"
frames=$(sed -n 's/.*stopped at frame \([0-9]*\) of 6487.*/\1/p' "$art/escape-replay.log" | head -n1)
[ -n "$frames" ] || fail "replay: not stopped by the viewer: $(cat "$art/escape-replay.log")"
echo "replay: quit $ms ms after the tap, at frame $frames of 6487"
echo "2 passed, 0 failed"
