#!/usr/bin/env bash
# A turn starts clean, in the real binary: against the computer (--computer 2), a Return tapped
# and Right held while the computer has its turn neither fire nor turn the player's next turn;
# Right pressed again in that turn turns it. The recording's result line counts the shots.
# Usage: turns.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/turns.
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
on_exit() { rm -rf "$work"; }

source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert compare
xvfb_artifacts "$build" turns
xvfb_start 640x480 || fail "Xvfb did not start within 30 s"

shot() { import -window root "$art/turns-$1.png"; }
# Pixels of the status line's green text that differ between two screenshots in a region (a body
# animating under the line does not count).
differ() { # a b WxH+X+Y
  local f
  for f in "$1" "$2"; do
    convert "$art/turns-$f.png" -crop "$3" +repage -fx "g>0.8&&r<0.3&&b<0.3" "$work/mask-$f.png"
  done
  compare -metric AE "$work/mask-$1.png" "$work/mask-$2.png" null: 2>&1 | cut -d' ' -f1
}
# "PLAYER:n" of the status line, and the whole line.
WHO=64x14+8+0
LINE=460x14+8+0

# Polls (up to TENTHS tenths of a second) until the player figure looks like reference's (same 1)
# or not (same 0).
wait_player() { # tenths reference same name
  for _ in $(seq "$1"); do
    shot "$4"
    local d
    d=$(differ "$2" "$4" $WHO)
    if [ "$3" = 1 ] && [ "${d:-99}" -le 2 ]; then return 0; fi
    if [ "$3" = 0 ] && [ "${d:-0}" -gt 8 ]; then return 0; fi
    sleep 0.1
  done
  fail "$4: the turn did not change within $(($1 / 10)) s"
}

(cd "$build/assets" && exec "$build/quorvane" --computer 2 --record "$work/m.qvr") >"$art/turns.log" 2>&1 &
game=$!
xvfb_game_window 150 "$art/turns.log"
sleep 0.5
xdotool key --window "$win" Return
for _ in $(seq 100); do
  shot p1
  green=$(convert "$art/turns-p1.png" -crop $LINE +repage -fx "g>0.8&&r<0.3&&b<0.3" -format "%[fx:mean*w*h]" info: | cut -d. -f1)
  [ "${green:-0}" -gt 100 ] && break
  sleep 0.1
done
[ "${green:-0}" -gt 100 ] || fail "no play screen"

# Player 1 aims straight up, hard, and fires: the shot leaves the screen and the turn passes.
xdotool keydown --window "$win" Left keydown --window "$win" Up
sleep 3.2
xdotool keyup --window "$win" Left keyup --window "$win" Up
sleep 0.2
xdotool key --window "$win" Return
wait_player 200 p1 0 p2

# The computer's turn: tap Return, then hold Right into the player's turn.
xdotool key --window "$win" Return
sleep 0.2
xdotool keydown --window "$win" Right
wait_player 600 p1 1 back

# Player 1's turn again, Right still held: nothing may move or fire.
sleep 1
shot still1
sleep 1
shot still2
d=$(differ still1 still2 $LINE)
[ "${d:-99}" -le 2 ] || fail "the status line changed in a turn that started with Right held ($d px)"
[ "$(differ p1 still2 $WHO)" -le 2 ] || fail "the turn passed: a shot was fired by itself"

# Let go and press again: now Right turns the aim.
xdotool keyup --window "$win" Right
sleep 0.2
xdotool keydown --window "$win" Right
sleep 0.5
xdotool keyup --window "$win" Right
sleep 0.2
shot turned
d=$(differ still2 turned $LINE)
[ "${d:-0}" -gt 8 ] || fail "Right pressed in the turn did not turn the aim"

xdotool key --window "$win" Escape
xvfb_game_exit 10
[ $rc -eq 0 ] || fail "exit code $rc: $(cat "$art/turns.log")"
line=$(grep '^result:' "$art/turns.log" | tail -n1)
[[ $line =~ \ shots\ 2\  ]] || fail "expected the two shots fired by hand and by the computer: '$line'"
echo "turns: the tapped Return and the held Right did nothing in the next turn; $line"
echo "1 passed, 0 failed"
