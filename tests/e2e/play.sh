#!/usr/bin/env bash
# End-to-end: the real binary under Xvfb (no window manager), driven with xdotool.
# Usage: play.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts.
set -uo pipefail
build=$(cd "$1" && pwd)
for tool in Xvfb xdotool import convert; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing (./tools/install-deps.sh installs it)"; exit 1; }
done
art="$build/e2e-artifacts"
mkdir -p "$art"
rm -f "$art"/*.png

# Xvfb picks a free display itself and tells it once it listens: no race with other servers.
dispfile=$(mktemp)
exec 3>"$dispfile"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 300); do [ -s "$dispfile" ] && break; sleep 0.1; done
[ -s "$dispfile" ] || { echo "FAIL: Xvfb did not start within 30 s"; kill $xvfb 2>/dev/null; exit 1; }
disp=":$(cat "$dispfile")"
rm -f "$dispfile"
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
export DISPLAY=$disp SDL_AUDIODRIVER=dummy
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

fail() { echo "FAIL: $*"; exit 1; }

# Count pixels of a region whose colour passes an fx test, e.g. red text.
count() { # file WxH+X+Y fx-expression
  convert "$1" -crop "$2" +repage -fx "$3" -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}

start_game() { # dir binary
  (cd "$1" && exec "$2") >"$art/game.log" 2>&1 &
  game=$!
  win=""
  for _ in $(seq 100); do
    win=$(xdotool search --name '^Quorvane$' 2>/dev/null | head -n1)
    [ -n "$win" ] && break
    kill -0 "$game" 2>/dev/null || fail "the game exited at start: $(cat "$art/game.log")"
    sleep 0.1
  done
  [ -n "$win" ] || fail "no Quorvane window appeared"
  sleep 1.5
}

wait_exit() { # seconds
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$game" 2>/dev/null && fail "the game did not exit within $1 s"
  wait "$game"
  local rc=$?
  game=""
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
