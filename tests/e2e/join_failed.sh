#!/usr/bin/env bash
# End-to-end: a join, or a room being made, that cannot reach anyone shows the game's window at
# once, saying what it waits for, then why it gave up, in the title's red text; it still exits 1
# with the reason on stderr. Both ways of joining, and making a room, against a loopback port
# where nothing answers; hosting on a port another program holds, which gives up at once.
# Usage: join_failed.sh BUILD_DIR SOURCE_DIR.
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert identify
xvfb_artifacts "$build" join-failed
xvfb_start 800x600 || fail "Xvfb did not start within 30 s"

# A UDP port on loopback that nothing listens on: bound, its number read, closed again.
port=$(xvfb_free_port)
# A UDP port held open, for the host to find taken.
coproc holder { exec python3 -c 'import socket, signal
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("", 0)); print(s.getsockname()[1], flush=True); signal.pause()'; }
holder_pid=$holder_PID
disown "$holder_pid" # the clean-up's wait must not wait on it; on_exit ends it
on_exit() { kill "$holder_pid" 2>/dev/null; }
read -r -t 30 taken <&"${holder[0]}" || fail "no program holds a port for the host to find taken"
# red_at FILE Y: red text pixels on the 16-pixel row at Y of the 640x480 picture, centred at 1x.
red_at() {
  local w h
  read -r w h < <(identify -format "%w %h" "$1")
  convert "$1" -crop "640x16+$(((w - 640) / 2))+$(((h - 480) / 2 + $2 - 2))" +repage -fx "r>0.6&&g<0.3&&b<0.3" \
    -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}
shows() { # FILE Y: the row holds a line of text
  import -window "$win" "$1" 2>/dev/null && [ "$(red_at "$1" "$2")" -ge 150 ]
}

for way in join online create host; do
  game_log="$art/$way.log"
  if [ $way = join ]; then
    args=(--join "127.0.0.1:$port")
    gives_up=20
  elif [ $way = online ]; then
    args=(--online 7KQ3MZ --server "127.0.0.1:$port")
    gives_up=30
  elif [ $way = create ]; then
    args=(--online --server "127.0.0.1:$port")
    gives_up=30
  else
    args=(--host "$taken")
    gives_up=0
  fi
  (cd "$build/assets" && exec "$build/quorvane" --window "${args[@]}") >"$game_log" 2>&1 &
  game=$!
  # The window comes at once, not when the join gives up.
  xvfb_game_window 50 "$game_log" "quorvane ${args[*]}"
  xvfb_poll 50 shows "$art/$way-waiting.png" 255 || fail "$way: no waiting line on screen while it waits"
  [ $way = host ] || [ "$(red_at "$art/$way-waiting.png" 285)" -lt 20 ] || fail "$way: a reason on screen before it gave up"
  # Given up: the reason under the waiting line, while the game is still there to show it.
  xvfb_poll $((gives_up * 10 + 10)) shows "$art/$way-failed.png" 285 || fail "$way: no reason on screen when it gave up"
  [ "$(red_at "$art/$way-failed.png" 255)" -ge 150 ] || fail "$way: the waiting line went with the reason"
  xvfb_game_exit 15
  [ "$rc" -eq 1 ] || fail "$way: exited with $rc, not 1: $(cat "$game_log")"
  grep -q '^quorvane: ' "$game_log" || fail "$way: no reason on stderr"
  echo "$way: waiting line, then on screen and stderr: $(grep '^quorvane: ' "$game_log" | head -n1)"
done
echo "PASS"
