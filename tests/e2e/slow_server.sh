#!/usr/bin/env bash
# The real binary, full screen at 1920x1080 under Xvfb, while the X server is slow: what it shows
# must be the frame the game drew, with no band of the picture left from another place. The
# server is held still (SIGSTOP) for 2 s right after each key, so every screen change is sent
# while it reads nothing, as on a machine too busy to run it. Screens are compared with the same
# screen shown while the server kept up.
# Usage: slow_server.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/slow-server.
set -uo pipefail
build=$(cd "$1" && pwd)

source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import compare
xvfb_artifacts "$build" slow-server
on_exit() { [ -n "$xvfb" ] && kill -CONT "$xvfb" 2>/dev/null; }
xvfb_start 1920x1080 || fail "Xvfb did not start within 30 s"

# Screenshots as 8-bit PPM: quick to write, and two of the same picture are the same bytes.
shot() { import -window root -depth 8 "ppm:$art/slow-$1.ppm"; }
same() { cmp -s "$art/slow-$1.ppm" "$art/slow-$2.ppm"; }
# differ A B: how many pixels differ; both kept as PNG to look at.
differ() {
  convert "$art/slow-$1.ppm" "$art/slow-$1.png"
  convert "$art/slow-$2.ppm" "$art/slow-$2.png"
  compare -metric AE "$art/slow-$1.png" "$art/slow-$2.png" null: 2>&1 | cut -d' ' -f1
}
# settle NAME: screenshots until two in a row agree (the picture stopped changing), at most 15 s.
settle() {
  shot "$1"
  for _ in $(seq 30); do
    sleep 0.5
    shot "$1-next"
    same "$1" "$1-next" && return 0
    mv "$art/slow-$1-next.ppm" "$art/slow-$1.ppm"
  done
  fail "the picture of $1 never settled"
}
# until_same NAME REF: screenshots until one equals REF, at most 15 s; fails saying how many differ.
until_same() {
  for _ in $(seq 30); do
    shot "$1"
    same "$1" "$2" && return 0
    sleep 0.5
  done
  fail "$1: $(differ "$1" "$2") pixels differ from $2, the same screen shown before"
}
# until_changed NAME REF: screenshots until one differs from REF, at most 15 s.
until_changed() {
  for _ in $(seq 30); do
    shot "$1"
    same "$1" "$2" || return 0
    sleep 0.5
  done
  fail "$1: the key changed nothing on the screen"
}
# key KEY: a tap, through the server before the caller goes on (a round trip after it).
key() {
  xdotool key --window "$win" "$1"
  xdotool getmouselocation >/dev/null
}
# slow: the server reads nothing for 2 s (the game's next screen comes 0.5 s after its key).
slow() {
  kill -STOP "$xvfb"
  sleep 2
  kill -CONT "$xvfb"
}

(cd "$build/assets" && exec "$build/quorvane") >"$art/slow-game.log" 2>&1 &
game=$!
xvfb_game_window 100 "$art/slow-game.log"
settle title
key Down
until_changed options-cursor title
settle options-cursor

# Title menu to the options screen and back, each change sent while the server is still.
key Return
slow
settle options-slow
key Return # 1 round: back to the title menu, the cursor on START GAME
slow
until_same title-slow title
echo "title menu after a slow server: as before"

# The options screen again while the server keeps up, then back once more on a slow one.
key Down
until_same options-cursor-2 options-cursor
key Return
settle options
same options options-slow ||
  fail "options screen: $(differ options options-slow) pixels differ between a slow server and a quick one"
echo "options screen after a slow server: as on a quick one"
key Return
slow
until_same title-slow-2 title

key Escape
xvfb_game_exit 10
[ $rc -eq 0 ] || fail "the game exited with $rc"
echo "1 passed, 0 failed"
