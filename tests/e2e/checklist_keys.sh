#!/usr/bin/env bash
# A player's checklist, the keys: the real binary in a real window under Xvfb (no window manager),
# every key pressed through the X server's keyboard (XTEST) as a person's are, and each seen to act:
#   --window   starts in a 640x480 window, and stays so once the title menu shows
#   Down, Up   move the menu cursor down a row and back
#   Return     starts the game from START GAME (the status line shows)
#   Right      raises the angle (360 -> 1, a narrower status line), Left lowers it back through 0
#   Down, Up   lower the power (100 -> 95, narrower) and raise it back to three digits
#   Space      fires: a shot leaves the left ship
#   Alt+Enter  full screen (the whole 1280x1024 display) and back to 640x480
#   Escape     quits, status 0
# Usage: checklist_keys.sh BUILD_DIR SOURCE_DIR. Screenshots stay in BUILD_DIR/e2e-artifacts/keys.
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
xvfb_need Xvfb xdotool import convert compare
xvfb_artifacts "$build" keys
game_log="$art/game.log"
xvfb_start 1280x1024 || fail "Xvfb did not start within 30 s"

# The window alone, 640x480 at 1x while windowed.
shot() { import -window "$win" "$art/$1.png" 2>/dev/null; }
pixels_where() { # file WxH+X+Y fx-expression: how many pixels of the region pass
  convert "$art/$1.png" -crop "$2" +repage -fx "$3" -format "%[fx:mean*w*h]" info: 2>/dev/null | cut -d. -f1
}
differing() { # a b WxH+X+Y: how many pixels of the region differ
  compare -metric AE \( "$art/$1.png" -crop "$3" +repage \) \( "$art/$2.png" -crop "$3" +repage \) null: 2>&1 |
    cut -d' ' -f1
}
geometry() { xdotool getwindowgeometry "$win" 2>/dev/null | awk '/Geometry/ { print $2 }'; }
# Keys go where the keyboard focus is, as a person's do.
press() {
  xdotool windowfocus "$win" 2>/dev/null
  xdotool key "$@"
}

# The status line: its green text's box (WxH+X+Y) and the first column where two shots' differ.
STATUS=640x18+0+0
status_box() { convert "$art/$1.png" -crop $STATUS +repage -fx "g>0.5&&r<0.5&&b<0.5" -format "%@" info: 2>/dev/null; }
status_right_edge() { status_box "$1" | awk -F'[x+]' '{ print $1 + $3 }'; }
first_change() {
  convert \( "$art/$1.png" -crop $STATUS +repage \) \( "$art/$2.png" -crop $STATUS +repage \) \
    -compose difference -composite -threshold 10% -format "%@" info: 2>/dev/null | awk -F'[x+]' '{ print $3 }'
}
# The fields' digits: ANGLE:'s from x 137, POWER:'s from about 220 (they move with the angle's width).
ANGLE_COLUMNS="130 150" POWER_COLUMNS="200 270"
in_columns() { [ "$1" -ge "${2% *}" ] && [ "$1" -lt "${2#* }" ]; }

# shot_settled NAME: a shot whose status line is the same in the next one (no frame in between moved it).
shot_settled() {
  local prev=""
  for i in $(seq 30); do
    shot "$1"
    if [ -n "$prev" ] && [ "$(differing "$1" "$1-prev" $STATUS)" = 0 ]; then return 0; fi
    cp "$art/$1.png" "$art/$1-prev.png"
    prev=1
  done
  return 1
}
status_differs_from() { shot now && [ "$(differing now "$1" $STATUS)" != 0 ]; }

# tap_status KEY FROM NAME: presses KEY and waits for the status line to change from shot FROM; the
# settled result is shot NAME.
tap_status() {
  press "$1"
  xvfb_poll 50 status_differs_from "$2" || fail "$1 did not change the status line"
  shot_settled "$3" || fail "the status line did not settle after $1"
}

(cd "$build/assets" && exec "$build/quorvane" --window) >"$art/game.log" 2>&1 &
game=$!
xvfb_game_window 100 "$art/game.log"

# 1. --window: the title menu shows in a 640x480 window.
menu_drawn() {
  [ "$(geometry)" = 640x480 ] || return 0 # left the window size: said below
  xvfb_title_menu "$art/menu.png"
}
xvfb_poll 150 menu_drawn || fail "no red title menu in the window"
[ "$(geometry)" = 640x480 ] || fail "--window: the window is $(geometry) once the menu shows, not 640x480"
echo "window: 640x480 with the title menu"

# 2. Down moves the cursor marks from START GAME (y 305) to GAME OPTIONS (y 355); Up brings them back.
menu_changed() { shot menu-down && [ "$(differing menu-down menu 640x480+0+0)" != 0 ]; }
press Down
xvfb_poll 50 menu_changed || fail "Down did nothing on the title menu"
box=$(convert \( "$art/menu.png" \) \( "$art/menu-down.png" \) -compose difference -composite -threshold 10% \
  -format "%@" info:)
top=$(echo "$box" | awk -F'[x+]' '{ print $4 }')
bottom=$(echo "$box" | awk -F'[x+]' '{ print $4 + $2 }')
[ "$top" -ge 295 ] && [ "$top" -le 315 ] && [ "$bottom" -ge 360 ] && [ "$bottom" -le 390 ] ||
  fail "Down changed rows $top to $bottom, not the marks' move from row 305 to 355"
menu_back() { shot menu-up && [ "$(differing menu-up menu 640x480+0+0)" = 0 ]; }
press Up
xvfb_poll 50 menu_back || fail "Up did not bring the cursor back to START GAME"
echo "menu: Down moved the cursor a row down, Up back"

# 3. Return on START GAME: the play screen with its green status line.
playing() { shot play && [ "$(pixels_where play 410x16+8+0 "g>0.8&&r<0.3&&b<0.3")" -gt 200 ]; }
press Return
xvfb_poll 50 playing || fail "Return on START GAME showed no status line"
shot_settled s0 || fail "the status line did not settle"
edge0=$(status_right_edge s0)
echo "play: Return started the game"

# 4. and 5. A tap acts on one frame, or two on a busy machine: each key is judged by the width of
# the status line (its digits are all as wide), not by exact values.
# The angle: Right from 360 gives one digit (1, 2...), where Left would give 359; Left then comes
# back through 0 to three digits within a few taps, where Right would climb through two digits.
tap_status Right s0 s-right
in_columns "$(first_change s0 s-right)" "$ANGLE_COLUMNS" || fail "Right changed the status line at column $(first_change s0 s-right), not the angle"
[ "$(status_right_edge s-right)" -lt $((edge0 - 8)) ] || fail "Right did not raise the angle from 360 past 0"
# taps_until_wide KEY FROM: taps KEY (at most 5 times) until the status line is as wide as at the start.
taps_until_wide() {
  local from=$2
  for i in 1 2 3 4 5; do
    tap_status "$1" "$from" "s-$1-$i"
    [ "$(status_right_edge "s-$1-$i")" -ge $((edge0 - 2)) ] && return 0
    from="s-$1-$i"
  done
  return 1
}
taps_until_wide Left s-right || fail "Left did not lower the angle back through 0 to three digits"
shot_settled s-aimed || fail "the status line did not settle"
in_columns "$(first_change s-right s-aimed)" "$ANGLE_COLUMNS" || fail "Left changed the status line at column $(first_change s-right s-aimed), not the angle"
echo "aim: Right and Left turn the angle each their way"

# The power: Down from 100 gives two digits (95, 90...), where Up would give 105; Up then brings
# back three digits within a few taps, where Down would go on down.
tap_status Down s-aimed s-down
in_columns "$(first_change s-aimed s-down)" "$POWER_COLUMNS" || fail "Down changed the status line at column $(first_change s-aimed s-down), not the power"
[ "$(status_right_edge s-down)" -lt $((edge0 - 4)) ] || fail "Down did not lower the power below 100"
taps_until_wide Up s-down || fail "Up did not raise the power back to three digits"
echo "power: Up and Down walk the power each their way"

# 6. Space fires: a shot moves left of the bodies (they lie right of x 213), where nothing else moves.
LEFT=200x460+0+20
shot aimed
fired() { shot flying && [ "$(differing flying aimed $LEFT)" != 0 ]; }
press space
xvfb_poll 50 fired || fail "Space fired no shot"
echo "fire: Space fired a shot"

# 7. Alt+Enter: full screen over the whole display, and back to the 640x480 window.
press alt+Return
xvfb_poll 50 eval '[ "$(geometry)" = 1280x1024 ]' || fail "Alt+Enter did not go full screen (window $(geometry))"
sleep 0.3 # one Alt+Enter is one toggle: presses within 250 ms of it are its own echoes
press alt+Return
xvfb_poll 50 eval '[ "$(geometry)" = 640x480 ]' || fail "Alt+Enter did not come back to 640x480 (window $(geometry))"
echo "window: Alt+Enter went full screen and back"

# 8. Escape quits, status 0.
press Escape
xvfb_game_exit 10
[ $rc -eq 0 ] || fail "Escape: the game exited with $rc"
echo "escape: exited 0"
echo "1 passed, 0 failed"
