#!/usr/bin/env bash
# End-to-end: the real game makes a room on a room server (loopback), shows the room's code on
# its title screen, and once a simulator joins by that code says which player it is and how
# the two are linked. Usage: online_room.sh BUILD_DIR SOURCE_DIR.
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert
xvfb_artifacts "$build" online-room
xvfb_start 800x600 || fail "Xvfb did not start within 30 s"

port=$(xvfb_free_port)
"$build/quorvane-server" --bind 127.0.0.1 --port "$port" >"$art/online-server.log" 2>&1 &
helpers=$!
for _ in $(seq 100); do grep -q "on UDP" "$art/online-server.log" && break; sleep 0.05; done
(cd "$build/assets" && exec "$build/quorvane" --window --online --server "127.0.0.1:$port") >"$art/online-game.log" 2>&1 &
game=$!
xvfb_game_window 100 "$art/online-game.log"

# Red text on the notice row (y 255 of the 640x480 picture, centred in the window at 1x): count
# its pixels.
notice() { # file
  local w h
  read -r w h < <(identify -format "%w %h" "$1")
  convert "$1" -crop "640x16+$(((w - 640) / 2))+$(((h - 480) / 2 + 253))" +repage -fx "r>0.6&&g<0.3&&b<0.3" \
    -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}
code=""
for _ in $(seq 100); do
  code=$(sed -n 's/^room \([0-9A-Z]*\) created by .*/\1/p' "$art/online-server.log")
  [ -n "$code" ] && break
  sleep 0.1
done
[ -n "$code" ] || fail "the game made no room: $(cat "$art/online-game.log")"
sleep 1
import -window "$win" "$art/online-room.png"
waiting=$(notice "$art/online-room.png")
# "Room CODE: waiting for the other player" is 39 characters of red text.
[ "${waiting:-0}" -ge 200 ] || fail "no notice on the title screen while waiting in room $code ($waiting red pixels)"

(cd "$build/assets" && exec "$build/quorvane-sim" --online "$code" --server "127.0.0.1:$port" --computer 2) \
  >"$art/online-joiner.out" 2>"$art/online-joiner.err" &
helpers="$helpers $!" # it waits on the game's menus forever
for _ in $(seq 100); do
  grep -q "plays direct" "$art/online-server.log" && grep -qx "link: direct" "$art/online-joiner.err" && break
  sleep 0.1
done
grep -q "room $code plays direct" "$art/online-server.log" || fail "the two did not link direct: $(cat "$art/online-server.log")"
grep -qx "link: direct" "$art/online-joiner.err" || fail "the joiner did not say how it is linked"
linked=0
for _ in $(seq 30); do
  import -window "$win" "$art/online-linked.png"
  linked=$(notice "$art/online-linked.png")
  # "Room CODE, direct: you are player 1 (left ship) and choose on the menus": a longer line.
  [ "${linked:-0}" -gt $((waiting * 13 / 10)) ] && break
  sleep 0.2
done
[ "${linked:-0}" -gt $((waiting * 13 / 10)) ] || fail "the title notice did not change once linked ($waiting, then $linked red pixels)"
echo "room $code: notice $waiting red pixels while waiting, $linked once linked"
echo "PASS"
