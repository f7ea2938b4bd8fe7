#!/usr/bin/env bash
# End-to-end: two real games in windows play a one-round online match, the computer on each
# side, through a relay that holds every datagram 1 s, so the side that fires the winning shot
# runs ahead and shows its win screen first. Its player quits at once, and the frames the other
# game lacks reach it in one burst with the goodbye. The other game must still play them and
# name the same winner; told that the other player has quit, it keeps its win screen until its
# player leaves it. Both exit 0 on Escape.
# Usage: online_end.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/online-end.
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert compare
xvfb_artifacts "$build" online-end
xvfb_start 1300x500 || fail "Xvfb did not start within 30 s"

port=$(xvfb_free_port)
game_log="$art/host.log"
(cd "$build/assets" && exec "$build/quorvane" --window --host "$port" --computer 1 --level hard) >"$game_log" 2>&1 &
game=$!
xvfb_game_window 100 "$game_log" "the host"
host_win=$win
"$build/quorvane_lossy_relay" --listen 0 --to "127.0.0.1:$port" --loss 0 --delay 1000-1000 >"$art/relay.out" &
relay=$!
helpers=$relay
xvfb_poll 100 grep -q '^relay:' "$art/relay.out" || fail "the relay did not start"
(cd "$build/assets" && exec "$build/quorvane" --window --join "127.0.0.1:$(sed -n 's/^relay: //p' "$art/relay.out")" \
  --computer 2 --level hard) >"$art/joiner.log" 2>&1 &
joiner=$!
helpers="$relay $joiner" # the joiner outlives the host
other_window() { win=$(xdotool search --name '^Quorvane$' 2>/dev/null | grep -vx "$host_win" | head -n1) && [ -n "$win" ]; }
xvfb_poll 100 other_window || fail "the joiner showed no window: $(cat "$art/joiner.log")"
joiner_win=$win
# Side by side: a window's shot shows only what no other window covers.
xdotool windowmove "$host_win" 0 0
xdotool windowmove "$joiner_win" 660 0

# Red pixels of a region of a window's shot.
red() { # file WxH+X+Y
  convert "$1" -crop "$2" +repage -fx "r>0.6&&g<0.3&&b<0.3" -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}
# The window straight from the X server (quicker than import), kept as NAME.png.
shot() { convert "x:$1" "$art/$2.png" 2>/dev/null; }
# The title's INSTRUCTIONS (no other screen has red text on its row), the options' "1 Round"
# with no INSTRUCTIONS, the win screen's "Press [SPACEBAR] to return to menu" (wider than any
# menu line).
on_menu() { shot "$1" "$2" && [ "$(red "$art/$2.png" 130x16+262+453)" -gt 100 ]; }
on_options() {
  shot "$1" "$2" && [ "$(red "$art/$2.png" 130x16+262+453)" -lt 20 ] && [ "$(red "$art/$2.png" 100x16+288+303)" -gt 100 ]
}
on_win() { # in one step: the first game to show it quits at once
  [ "$(convert "x:$1" -write "$art/$2.png" -crop 150x16+400+353 +repage -fx "r>0.6&&g<0.3&&b<0.3" \
    -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1)" -gt 150 ]
}
WINNER=100x16+273+303

# The host chooses a match of one round: GAME OPTIONS, "1 Round", START GAME. Its menu stays
# still until the joiner is in: then its centred notice grows from "Waiting for a player on port
# N" to "Online: you are player 1 (left ship) and choose on the menus", which reaches x 100-180.
linked() { shot "$host_win" host-linked && [ "$(red "$art/host-linked.png" 80x16+100+253)" -gt 50 ]; }
xvfb_poll 300 linked || fail "the host's title never said the joiner is in"
xdotool key --window "$host_win" Down
# The cursor's ship beside GAME OPTIONS.
moved() {
  shot "$host_win" host-down && [ "$(compare -metric AE \( "$art/host-linked.png" -crop 30x20+228+352 +repage \) \
    \( "$art/host-down.png" -crop 30x20+228+352 +repage \) null: 2>&1 | cut -d' ' -f1)" -gt 20 ]
}
xvfb_poll 100 moved || fail "Down did not move the host's menu cursor"
xdotool key --window "$host_win" Return
xvfb_poll 100 on_options "$host_win" host-options || fail "the host shows no options screen"
xdotool key --window "$host_win" Return
xvfb_poll 100 on_menu "$host_win" host-menu || fail "the host is not back on its title menu"
xdotool key --window "$host_win" Return
echo "the match starts after $SECONDS s"

# Whoever fired the winning shot runs ahead and shows the win screen first: its player quits.
first_won() {
  if on_win "$host_win" first; then
    first=$game second=$joiner first_win=$host_win second_win=$joiner_win
  elif on_win "$joiner_win" first; then
    first=$joiner second=$game first_win=$joiner_win second_win=$host_win
  else
    return 1
  fi
}
xvfb_poll 1500 first_won || fail "no win screen within 150 s"
# The relay holds every datagram from here: the frames the other game lacks and the first one's
# goodbye reach it together, as after a lost datagram on a real link.
kill -USR1 "$relay"
xdotool key --window "$first_win" Escape
# Its fade starts once the goodbye is sent.
darker() {
  shot "$first_win" fading && awk -v a="$(convert "$art/fading.png" -format "%[fx:mean]" info:)" \
    -v b="$(convert "$art/first.png" -format "%[fx:mean]" info:)" 'BEGIN { exit !(a < b * 0.9) }'
}
host=$game game=$first
xvfb_poll 100 darker || fail "Escape did not start the fade of the game that won first"
# Without the frames held, the other game shows its win screen only if it had them before.
on_win "$second_win" second-held && behind="already showed" || behind="did not show"
echo "the $([ "$first" = "$game" ] && echo host || echo joiner) showed its win screen first, after $SECONDS s; the other $behind it yet"
kill -USR1 "$relay"
xvfb_game_exit 20
[ "$rc" = 0 ] || fail "the game that won first exited with $rc after Escape"

game=$second
[ "$second" = "$host" ] && game_log="$art/host.log" || game_log="$art/joiner.log"
xvfb_poll 150 grep -q "The other player has quit" "$game_log" || fail "the other game was not told of the quit"
on_win "$second_win" second || fail "told the other player quit, the other game shows no win screen"
differ=$(compare -metric AE \( "$art/first.png" -crop $WINNER +repage \) \
  \( "$art/second.png" -crop $WINNER +repage \) null: 2>&1 | cut -d' ' -f1)
[ "$differ" = 0 ] || fail "the two games name another winner ($differ pixels differ)"
# Its player leaves the win screen: the title says why the online match ended.
xdotool key --window "$second_win" space
xvfb_poll 100 on_menu "$second_win" second-menu || fail "the win screen does not lead to the title menu"
[ "$(red "$art/second-menu.png" 640x16+0+253)" -ge 150 ] || fail "the title does not say the other player quit"
xdotool key --window "$second_win" Escape
xvfb_game_exit 15
[ "$rc" = 0 ] || fail "the other game exited with $rc after Escape"
echo "PASS: both games showed the same winner; both exited 0"
