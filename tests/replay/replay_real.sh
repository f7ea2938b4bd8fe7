#!/usr/bin/env bash
# Recordings made by the real binary under Xvfb with xdotool keys, replayed by quorvane-sim and
# by the real binary: the same result line everywhere. Then matches that do not reach their end:
# Escape, SIGTERM, SIGINT and SIGHUP in the middle of one leave a whole recording that says so,
# SIGKILL leaves the match up to its last flush in FILE.part; both programs replay each with
# exit 0, and damaged files are still refused.
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

size() { stat -c %s "$1" 2>/dev/null || echo 0; }

# grows FILE FROM TENTHS: waits until FILE is larger than FROM bytes.
grows() {
  for _ in $(seq "$3"); do
    [ "$(size "$1")" -gt "$2" ] && return 0
    kill -0 "$game" 2>/dev/null || fail "the game exited while recording: $(cat "$work"/*.err)"
    sleep 0.1
  done
  fail "$1 did not grow past $2 bytes within $(($3 / 10)) s"
}

# A match under way: the computer plays player 2; START GAME, then player 1 turns the turret.
# The recording's .part grows when the round is set up.
start_match() { # name
  rec=$work/$1.qvr
  (cd "$build/assets" && exec "$build/quorvane" --window --computer 2 --record "$rec") >"$work/$1.out" 2>"$work/$1.err" &
  game=$!
  xvfb_game_window 100 "$work/$1.err"
  # The header at once, the first frame's flush, then the round set up by START GAME.
  grows "$rec.part" 0 100
  grows "$rec.part" "$(head -n1 "$rec.part" | wc -c)" 100
  local before
  before=$(size "$rec.part")
  xdotool key --window "$win" Return
  grows "$rec.part" "$before" 100
  xdotool keydown --window "$win" Up
  sleep 0.3
  xdotool keyup --window "$win" Up
}

# replays_as NAME FILE NOTE: quorvane-sim plays FILE to the line the game printed, exit 0, NOTE on stderr.
replays_as() {
  local out err code
  out=$(cd "$work" && "$build/quorvane-sim" --replay "$2" 2>"$work/sim.err")
  code=$?
  err=$(cat "$work/sim.err")
  [ $code -eq 0 ] || fail "$1: quorvane-sim --replay exited $code: $err"
  [ "$(tail -n1 <<<"$out")" = "$(tail -n1 "$work/$1.out")" ] ||
    fail "$1: the replay gives '$(tail -n1 <<<"$out")', the game printed '$(tail -n1 "$work/$1.out")'"
  [ "$err" = "quorvane-sim: $3" ] || fail "$1: quorvane-sim says '$err', expected 'quorvane-sim: $3'"
}

# 2. Escape and the three quit signals in the middle of a match: a whole recording, no .part.
passed=1
for how in Escape TERM INT HUP; do
  start_match "$how"
  if [ "$how" = Escape ]; then xdotool key --window "$win" Escape; else kill -"$how" "$game"; fi
  xvfb_game_exit 10
  [ $rc -eq 0 ] || fail "$how: the game exited $rc: $(cat "$work/$how.err")"
  [ -f "$rec" ] || fail "$how: no recording: $(ls "$work")"
  [ -e "$rec.part" ] && fail "$how: the .part was left beside the recording"
  [[ $(tail -n1 "$work/$how.out") == "result: player1 0 player2 0 frames "* ]] ||
    fail "$how: no result line from the game: $(cat "$work/$how.out" "$work/$how.err")"
  name=$how
  [ "$how" = Escape ] || name=SIG$how
  replays_as "$how" "$rec" "the recording ends in an unfinished match, ended by $name"
  echo "$how: whole recording, replays to the game's line: $(tail -n1 "$work/$how.out")"
  passed=$((passed + 1))
done

# The real game plays one to its end too, and prints the same line.
(cd "$build/assets" && exec "$build/quorvane" --window --replay "$work/Escape.qvr") >"$work/replay.out" 2>"$work/replay.err" &
game=$!
xvfb_game_exit 60
[ $rc -eq 0 ] || fail "quorvane --replay exited $rc: $(cat "$work/replay.err")"
[ "$(tail -n1 "$work/replay.out")" = "$(tail -n1 "$work/Escape.out")" ] ||
  fail "quorvane --replay gives '$(tail -n1 "$work/replay.out")', the game printed '$(tail -n1 "$work/Escape.out")'"
grep -q "ended by Escape" "$work/replay.err" || fail "quorvane --replay does not say how it ended: $(cat "$work/replay.err")"
echo "quorvane --replay: the same line"
passed=$((passed + 1))

# 3. SIGKILL after a ten-second flush in the match: the .part stays, the target never appears,
# and the .part plays to its last flush with exit 0, saying it was cut short.
start_match KILL
grows "$rec.part" "$(size "$rec.part")" 250
kill -KILL "$game"
xvfb_game_exit 10
[ -e "$rec" ] && fail "SIGKILL: the target exists: only a whole recording may have its name"
[ -f "$rec.part" ] || fail "SIGKILL: no .part left"
out=$(cd "$work" && "$build/quorvane-sim" --replay "$rec.part" 2>"$work/sim.err")
code=$?
[ $code -eq 0 ] || fail "SIGKILL: quorvane-sim --replay of the .part exited $code: $(cat "$work/sim.err")"
line=$(tail -n1 <<<"$out")
[[ $line =~ ^result:\ player1\ 0\ player2\ 0\ frames\ ([0-9]+)\ shots ]] || fail "SIGKILL: no result line: '$out'"
[ "${BASH_REMATCH[1]}" -gt 30 ] || fail "SIGKILL: only ${BASH_REMATCH[1]} frames after a ten-second flush: $line"
grep -q "^quorvane-sim: the recording was cut short: played to its last saved frame, ${BASH_REMATCH[1]} " "$work/sim.err" ||
  fail "SIGKILL: quorvane-sim does not say it was cut short: $(cat "$work/sim.err")"
echo "SIGKILL: the .part plays to frame ${BASH_REMATCH[1]}"
(cd "$build/assets" && exec "$build/quorvane" --window --replay "$rec.part") >"$work/replay.out" 2>"$work/replay.err" &
game=$!
xvfb_game_exit 60
[ $rc -eq 0 ] || fail "quorvane --replay of the .part exited $rc: $(cat "$work/replay.err")"
[ "$(tail -n1 "$work/replay.out")" = "$line" ] || fail "quorvane --replay of the .part gives '$(tail -n1 "$work/replay.out")'"
grep -q "cut short" "$work/replay.err" || fail "quorvane --replay does not say the .part was cut short"
echo "quorvane --replay of the .part: the same line"
passed=$((passed + 1))
# Recording to the same name again leaves the .part alone.
before=$(md5sum <"$rec.part")
(cd "$build/assets" && timeout 20 "$build/quorvane" --window --record "$rec") >/dev/null 2>"$work/again.err"
code=$?
[ $code -eq 2 ] || fail "a new recording over a .part exited $code"
grep -q "KILL.qvr.part is in the way" "$work/again.err" || fail "no reason given: $(cat "$work/again.err")"
[ "$(md5sum <"$rec.part")" = "$before" ] || fail "the .part was changed"
echo "a new recording to that name is refused; the .part is kept"
passed=$((passed + 1))

# 4. Damage is still refused with exit 2: a changed byte in a whole recording, garbage in a .part.
cp "$work/Escape.qvr" "$work/bad.qvr"
byte=$(od -An -tu1 -j30 -N1 "$work/bad.qvr" | tr -d ' ')
printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$work/bad.qvr" bs=1 seek=30 conv=notrunc 2>/dev/null
echo "hello world" >"$work/bad.qvr.part"
for f in bad.qvr bad.qvr.part; do
  (cd "$work" && "$build/quorvane-sim" --replay "$f") >/dev/null 2>"$work/sim.err"
  code=$?
  [ $code -eq 2 ] || fail "$f: quorvane-sim --replay exited $code: $(cat "$work/sim.err")"
done
echo "damaged files refused"
passed=$((passed + 1))
echo "$passed passed, 0 failed"
