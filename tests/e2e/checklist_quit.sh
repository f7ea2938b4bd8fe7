#!/usr/bin/env bash
# A player's checklist, the ways out: the real binary under Xvfb, ended as a desktop ends it.
#   SIGTERM, SIGINT, SIGHUP    on the title menu, in the middle of the quit fade, and while joining
#                              a host that does not answer: gone at once (no fade), status 0,
#                              nothing left beside the recording, no shared memory of its own
#   SIGHUP ignored at start    (nohup) stays ignored
#   no display                 the game says which display it could not open
# "At once" is asked of the game as 0.3 s. A busy machine slows the fade as much as the exit, so
# the test first times a whole Escape fade here and allows half of it (at least GONE_MS): a game
# that sat through the fade, or a join's wait (8 s), still fails.
# Usage: checklist_quit.sh BUILD_DIR SOURCE_DIR. Logs stay in BUILD_DIR/e2e-artifacts/quit.
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert ipcs
xvfb_artifacts "$build" quit
GONE_MS=600

# 1. No display: refused at once, naming the display it tried.
for _ in $(seq 50); do
  n=$((RANDOM % 5000 + 2000))
  [ -e "/tmp/.X11-unix/X$n" ] || break
done
DISPLAY=":$n" WAYLAND_DISPLAY="" SDL_AUDIODRIVER=dummy timeout 20 "$build/quorvane" >/dev/null 2>"$art/nodisplay.err"
code=$?
[ $code -eq 1 ] || fail "no display: exit $code, not 1: $(cat "$art/nodisplay.err")"
grep -q "cannot open display :$n" "$art/nodisplay.err" || fail "no display: :$n is not named: $(cat "$art/nodisplay.err")"
echo "no display: exit 1, says 'cannot open display :$n'"

xvfb_start 1280x1024 || fail "Xvfb did not start within 30 s"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
start() { # NAME ARGS...: the game in its own folder of files, with its window up
  local name=$1
  shift
  mkdir -p "$art/$name"
  (cd "$build/assets" && exec "$build/quorvane" --window "$@") >"$art/$name.out" 2>"$art/$name.err" &
  game=$!
  xvfb_game_window 100 "$art/$name.err" "$name"
}
menu_shown() { xvfb_title_menu "$art/menu.png"; }

# The whole fade on this machine now: Escape on the title menu to the game gone.
start whole-fade
xvfb_poll 100 menu_shown || fail "whole-fade: no title menu"
t0=$(now_ms)
xdotool key --window "$win" Escape
while kill -0 "$game" 2>/dev/null && [ $(($(now_ms) - t0)) -lt 30000 ]; do sleep 0.01; done
fade_ms=$(($(now_ms) - t0))
kill -0 "$game" 2>/dev/null && fail "whole-fade: still running 30 s after Escape"
wait "$game"
game=""
[ $((fade_ms / 2)) -gt $GONE_MS ] && GONE_MS=$((fade_ms / 2))
echo "whole-fade: Escape to exit in $fade_ms ms; a signal must end the game within $GONE_MS ms"

# quits_at_once NAME SIGNAL: sends SIGNAL, the game must be gone within GONE_MS with status 0,
# leave nothing in its folder but the recording, and no shared memory segment it made.
quits_at_once() {
  local name=$1 sig=$2 pid=$game t0 ms
  t0=$(now_ms)
  kill -"$sig" "$game"
  kill -CONT "$game" # the fade case stopped it
  while kill -0 "$game" 2>/dev/null && [ $(($(now_ms) - t0)) -lt $((GONE_MS + 5000)) ]; do sleep 0.01; done
  ms=$(($(now_ms) - t0))
  kill -0 "$game" 2>/dev/null && fail "$name: still running $((GONE_MS + 5000)) ms after SIG$sig"
  wait "$game"
  local code=$?
  game=""
  [ $code -eq 0 ] || fail "$name: SIG$sig: exit $code, not 0: $(cat "$art/$name.err")"
  [ $ms -le $GONE_MS ] || fail "$name: SIG$sig: gone after $ms ms, not at once"
  local left
  left=$(cd "$art/$name" && ls -A | grep -vx 'match.qvr')
  [ -z "$left" ] || fail "$name: SIG$sig left $left beside the recording"
  ipcs -m -p | awk -v p="$pid" '$3 == p { found = 1 } END { exit !found }' &&
    fail "$name: SIG$sig left shared memory made by the game: $(ipcs -m -p)"
  echo "$name: SIG$sig: gone after $ms ms, exit 0, nothing left behind"
}

# 2. Each signal on the title menu, recording.
for sig in TERM INT HUP; do
  start "menu-$sig" --record "$art/menu-$sig/match.qvr"
  xvfb_poll 100 menu_shown || fail "menu-$sig: no title menu"
  quits_at_once "menu-$sig" "$sig"
done

# 3. In the middle of Escape's fade (about a second of darkening frames): the fade stops there.
menu_darker() {
  import -window "$win" "$art/fading.png" 2>/dev/null || return 1
  awk -v a="$(convert "$art/fading.png" -format "%[fx:mean]" info:)" \
    -v b="$(convert "$art/menu.png" -format "%[fx:mean]" info:)" 'BEGIN { exit !(a < b * 0.9) }'
}
# The game is stopped as soon as the picture darkens, so a slow screenshot cannot let the fade
# run out before the signal; a fade that ran out anyway is tried again.
for attempt in 1 2 3; do
  rm -rf "$art/fade"
  start fade --record "$art/fade/match.qvr"
  xvfb_poll 100 menu_shown || fail "fade: no title menu"
  xdotool key --window "$win" Escape
  xvfb_poll 20 menu_darker || fail "fade: Escape did not start the fade"
  kill -STOP "$game" 2>/dev/null && break
  wait "$game"
  game=""
  echo "fade: the fade ran out before the game could be stopped in it (try $attempt)"
done
[ -n "$game" ] || fail "fade: three fades ran out before one could be stopped in it"
quits_at_once fade HUP

# 4. Joining a host that does not answer (the game would wait 8 s for it).
port=$((RANDOM % 20000 + 40000)) # nothing listens there
start join --join "127.0.0.1:$port"
quits_at_once join TERM
[ -s "$art/join.err" ] && grep -v '^error: XDG_RUNTIME_DIR' "$art/join.err" | grep -q . &&
  fail "join: a quit is no failure to report: $(cat "$art/join.err")"

# 5. nohup: a SIGHUP ignored when the game started stays ignored.
mkdir -p "$art/nohup"
(cd "$build/assets" && trap '' HUP && exec "$build/quorvane" --window) >"$art/nohup.out" 2>"$art/nohup.err" &
game=$!
xvfb_game_window 100 "$art/nohup.err" nohup
xvfb_poll 100 menu_shown || fail "nohup: no title menu"
kill -HUP "$game"
xvfb_poll 5 menu_shown || true # a moment for it to act, were it to
kill -0 "$game" 2>/dev/null || fail "nohup: an ignored SIGHUP ended the game"
quits_at_once nohup TERM
echo "nohup: SIGHUP stayed ignored"
echo "1 passed, 0 failed"
