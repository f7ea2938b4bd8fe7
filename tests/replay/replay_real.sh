#!/usr/bin/env bash
# Recordings made by the real binary under Xvfb with xdotool keys, replayed by quorvane-sim and
# by the real binary: the same result line everywhere. Also a recording ended by SIGTERM.
# Usage: replay_real.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing (./tools/install-deps.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
on_exit() { rm -rf "$work"; }
xvfb_start 1024x768 || fail "Xvfb did not start within 30 s"

start() { # log, then the game's options
  local log=$1; shift
  (cd "$build/assets" && exec "$build/quorvane" --window "$@") >"$log" 2>"$log.err" &
  game=$!
  xvfb_game_window 100 "$log.err"
  sleep 1
}

hold() { xdotool keydown --window "$win" "$1"; sleep "$2"; xdotool keyup --window "$win" "$1"; }

sim_line() { (cd "$work" && "$build/quorvane-sim" --replay "$1") | tail -n1; }

# 1. A played stretch: options (best of 3), start, aim, two shots, Escape.
rec=$work/played.qvr
start "$work/rec.out" --record "$rec"
xdotool key --window "$win" Down; sleep 0.4
xdotool key --window "$win" Return; sleep 0.8
xdotool key --window "$win" Down; sleep 0.4
xdotool key --window "$win" Return; sleep 0.8
xdotool key --window "$win" Up; sleep 0.4
xdotool key --window "$win" Return; sleep 1
hold Up 0.4; hold Right 0.3
xdotool key --window "$win" Return; sleep 2
hold Left 0.3
xdotool key --window "$win" space; sleep 1.5
xdotool key --window "$win" Escape
xvfb_game_exit 10
[ $rc -eq 0 ] || fail "recording run exited with $rc: $(cat "$work/rec.out.err")"
[ -f "$rec" ] || fail "no recording written"
ls "$work" | grep -q '\.part' && fail "a .part file was left: $(ls "$work")"
recorded=$(tail -n1 "$work/rec.out")
[[ $recorded == "result: player1 "* ]] || fail "no result line after recording: '$recorded'"
echo "recorded $(stat -c %s "$rec") bytes: $recorded"

simmed=$(sim_line "$rec")
[ "$simmed" = "$recorded" ] || fail "simulator gives '$simmed', the recording '$recorded'"

start "$work/replay.out" --replay "$rec"
xvfb_game_exit 60
[ $rc -eq 0 ] || fail "replay exited with $rc: $(cat "$work/replay.out.err")"
replayed=$(tail -n1 "$work/replay.out")
[ "$replayed" = "$recorded" ] || fail "quorvane --replay gives '$replayed', the recording '$recorded'"
echo "replayed in both programs: same line"
# QUORVANE_KEEP_RECORDING=FILE keeps it (how tests/replays/real-xdotool.qvr was made).
[ -n "${QUORVANE_KEEP_RECORDING:-}" ] && cp "$rec" "$QUORVANE_KEEP_RECORDING"

# 2. Ended by SIGTERM in the middle of a turn: still a whole recording that replays alike.
rec2=$work/term.qvr
start "$work/term.out" --record "$rec2"
xdotool key --window "$win" Return; sleep 1
hold Down 0.5
kill -TERM "$game"
xvfb_game_exit 10
[ -f "$rec2" ] || fail "no recording after SIGTERM"
line2=$(tail -n1 "$work/term.out")
[ "$(sim_line "$rec2")" = "$line2" ] || fail "SIGTERM recording replays otherwise: '$(sim_line "$rec2")' against '$line2'"
echo "SIGTERM: recording complete, replays alike"
echo "2 passed, 0 failed"
