#!/usr/bin/env bash
# End-to-end: the real binary under Xvfb (no window manager), driven with xdotool.
# Usage: play.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/play.
set -uo pipefail
build=$(cd "$1" && pwd)

source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert
xvfb_artifacts "$build" play
xvfb_start 1280x1024 || fail "Xvfb did not start within 30 s"

# Count pixels of a region whose colour passes an fx test, e.g. red text.
count() { # file WxH+X+Y fx-expression
  convert "$1" -crop "$2" +repage -fx "$3" -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}

start_game() { # dir binary
  (cd "$1" && exec "$2") >"$art/game.log" 2>&1 &
  game=$!
  xvfb_game_window 100 "$art/game.log"
  sleep 1.5
}

wait_exit() { # seconds; a clean exit
  xvfb_game_exit "$1"
  [ $rc -eq 0 ] || fail "the game exited with $rc"
}

# The 640x480 picture shows at 2x, centred on 1280x1024: (x, y) -> (2x, 2y + 32).
start_game "$build/assets" "$build/quorvane"
import -window root "$art/01-title.png"
mean=$(convert "$art/01-title.png" -format "%[fx:mean]" info:)
awk -v m="$mean" 'BEGIN { exit !(m > 0.01) }' || fail "title screen is black (mean $mean)"
red=$(count "$art/01-title.png" 250x340+530+640 "r>0.8&&g<0.3&&b<0.3")
[ "${red:-0}" -gt 200 ] || fail "no red menu text on the title screen ($red px)"
echo "title: mean $mean, red menu pixels $red"

xdotool key --window "$win" Return
sleep 1.5
import -window root "$art/02-play.png"
green=$(count "$art/02-play.png" 820x32+16+32 "g>0.8&&r<0.3&&b<0.3")
[ "${green:-0}" -gt 200 ] || fail "no green status line on the play screen ($green px)"
echo "play: green status pixels $green"

xdotool keydown --window "$win" Up
sleep 0.6
xdotool keyup --window "$win" Up
xdotool key --window "$win" Return
sleep 0.5
import -window root "$art/03-fired.png"
xdotool key --window "$win" Escape
wait_exit 8
echo "escape: exited 0"

# The installed game starts in its own assets folder.
prefix=$(mktemp -d)
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
[ -x "$prefix/bin/quorvane" ] || fail "no launcher in $prefix/bin"
[ -f "$prefix/share/applications/quorvane.desktop" ] || fail "no desktop entry installed"
start_game / "$prefix/bin/quorvane"
import -window root "$art/04-installed.png"
red=$(count "$art/04-installed.png" 250x340+530+640 "r>0.8&&g<0.3&&b<0.3")
[ "${red:-0}" -gt 200 ] || fail "installed game shows no title menu ($red px)"
xdotool key --window "$win" Escape
wait_exit 8
rm -rf "$prefix"
echo "installed: title shown, exited 0"
echo "1 passed, 0 failed"
