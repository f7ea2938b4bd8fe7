#!/usr/bin/env bash
# The Debian package as a player gets it: built by CPack, unpacked into a temporary root, its
# files checked, its manual page against --help, and the game started from every Exec line of
# its desktop entry under Xvfb. Usage: package.sh BUILD_DIR SOURCE_DIR [CPACK]
# Exits 77 (skipped) only when Xvfb or xdotool is missing, after the checks that need neither.
set -uo pipefail
build=$(cd "$1" && pwd)
cpack=${3:-cpack}
work=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/../xvfb.sh"
on_exit() { rm -rf "$work"; }
for tool in dpkg-deb identify convert; do
  command -v $tool >/dev/null || fail "$tool is missing (./tools/install-deps.sh installs it)"
done

# --- build and unpack ------------------------------------------------------------
(cd "$build" && timeout 240 "$cpack" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
deb=$(ls "$work"/pkg/quorvane_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no quorvane_*.deb in $work/pkg"
root="$work/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb failed"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# What the game opens at run time must come with it on a fresh system.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/ //g')
for need in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfluidsynth3 libfontconfig1 fonts-dejavu-extra timgm6mb-soundfont; do
  grep -qx -- "$need" <<<"$names" || fail "Depends lacks $need: $depends"
done

for f in usr/games/quorvane usr/libexec/quorvane/quorvane; do
  [ -x "$root/$f" ] || fail "$f is missing or not executable"
done
# The game's folder holds exactly the files game/game_files.h names, none of them empty.
files=$(sed -n 's/^constexpr const char \*GAME_FILE_[A-Z_]* = "\([^"]*\)";$/\1/p' "$2/game/game_files.h" | sort)
[ -n "$files" ] || fail "no GAME_FILE_ names in $2/game/game_files.h"
held=$(ls "$root/usr/share/quorvane" | sort)
[ "$held" = "$files" ] || fail "usr/share/quorvane holds $(echo $held), not the game's $(echo $files)"
for f in $files; do
  [ -s "$root/usr/share/quorvane/$f" ] || fail "game file $f is empty"
done
for size in 64 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/quorvane.png"
  got=$(identify -regard-warnings -format "%m %wx%h" "$icon" 2>&1) || fail "icon $size: $got"
  [ "$got" = "PNG ${size}x${size}" ] || fail "icon $size is $got"
  # A tile with round corners: mostly opaque, corners clear.
  alpha=$(convert "$icon" -alpha extract -format "%[fx:mean] %[fx:p{0,0}] %[fx:p{w/2,h/2}]" info:)
  read -r mean corner centre <<<"$alpha"
  awk -v m="$mean" -v c="$corner" -v z="$centre" 'BEGIN { exit !(m > 0.8 && m < 1 && c == 0 && z == 1) }' ||
    fail "icon $size alpha: mean $mean, corner $corner, centre $centre"
done
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml 2>/dev/null | head -n1)
[ -n "$metainfo" ] || fail "no AppStream metainfo"
grep -q '<launchable type="desktop-id">quorvane.desktop</launchable>' "$metainfo" || fail "metainfo does not launch quorvane.desktop"
shots=$(grep -c '<image>.*/docs/screenshots/[a-z]*\.png</image>' "$metainfo")
[ "$shots" -ge 6 ] || fail "metainfo shows $shots screenshots, the README 6"
[ -s "$root/usr/share/doc/quorvane/copyright" ] || fail "no copyright file"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1 || fail "metainfo: $(cat "$work/as.log")"
fi

# --- the manual page lists exactly the options of --help -------------------------
man="$root/usr/share/man/man6/quorvane.6.gz"
[ -s "$man" ] || fail "no manual page"
options_of() { grep -oE -- '(^|[ ,])-(-[a-z0-9][a-z0-9-]*|[a-zA-Z])\b' | tr -d ' ,' | sort -u; }
help_opts=$(SDL_VIDEODRIVER=dummy "$root/usr/games/quorvane" --help | grep -E '^ +-' | options_of)
# The tags of the OPTIONS section's paragraphs (the line after each .TP), \- read as -.
man_opts=$(zcat "$man" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | awk 'prev == ".TP" { print } { prev = $0 }' |
  sed 's/\\-/-/g' | options_of)
[ -n "$help_opts" ] || fail "quorvane --help through the launcher listed no options"
if [ "$help_opts" != "$man_opts" ]; then
  fail "options differ (< --help, > manual page):
$(diff <(echo "$help_opts") <(echo "$man_opts") | grep '^[<>]')"
fi
echo "manual page: the $(echo "$help_opts" | wc -l) options of --help: $(echo $help_opts)"

# --- the launcher: works from anywhere, recordings named relative to the caller ------
stub="$work/stub"
cp -a "$root" "$stub"
printf '#!/bin/sh\npwd\nfor a do echo "$a"; done\n' >"$stub/usr/libexec/quorvane/quorvane"
mkdir "$work/here"
got=$(cd "$work/here" && "$stub/usr/games/quorvane" --record a.rec --replay=sub/b.rec --window --record /abs.rec -- --rep)
want="$stub/usr/share/quorvane
--record
$work/here/a.rec
--replay=$work/here/sub/b.rec
--window
--record
/abs.rec
--
--rep"
[ "$got" = "$want" ] || fail "launcher passed:
$got
instead of:
$want"
echo "launcher: runs in the game's folder, recording paths made absolute"

# --- start the game from the desktop entry -------------------------------------------
desktop="$root/usr/share/applications/quorvane.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop entry: $out"
fi
grep -qx 'Icon=quorvane' "$desktop" || fail "desktop entry has no Icon=quorvane"
grep -qx 'Actions=computer;window;' "$desktop" || fail "desktop entry lacks its actions"
grep -A3 -x '\[Desktop Action computer\]' "$desktop" | grep -qx 'Exec=/usr/games/quorvane --computer 2' ||
  fail "no action to play against the computer"
grep -A3 -x '\[Desktop Action window\]' "$desktop" | grep -qx 'Exec=/usr/games/quorvane --window' ||
  fail "no action for a window"
mapfile -t execs < <(grep -E '^Exec=' "$desktop" | sed 's/^Exec=//; s/ %[fFuUick]//g')
[ "${#execs[@]}" -eq 3 ] || fail "expected 3 Exec lines, found ${#execs[@]}"

for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is missing, the game was not started"; exit 77; }
done
xvfb_start 1280x1024 || fail "Xvfb did not start"
unset SDL_VIDEODRIVER

for line in "${execs[@]}"; do
  read -r -a words <<<"$line"
  # Named by its full path: /usr/games is not on root's PATH.
  [ "${words[0]}" = /usr/games/quorvane ] || fail "Exec line does not start /usr/games/quorvane: $line"
  words[0]="$root/usr/games/quorvane"
  (cd "$work" && exec "${words[@]}") >"$work/game.log" 2>&1 &
  game=$!
  xvfb_game_window 150 "$work/game.log" "'$line'"
  sleep 1
  xdotool key --window "$win" Escape
  for _ in $(seq 100); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game" 2>/dev/null && fail "'$line' did not quit within 10 s of Escape"
  wait "$game"
  rc=$?
  game=""
  [ $rc -eq 0 ] || fail "'$line' exited with $rc: $(cat "$work/game.log")"
  echo "desktop entry: '$line' opened its window and quit on Escape"
done

if command -v lintian >/dev/null; then
  timeout 120 lintian "$deb" >"$work/lintian.log" 2>&1
  errors=$(grep -c '^E:' "$work/lintian.log")
  [ "$errors" -eq 0 ] || fail "lintian: $(grep '^E:' "$work/lintian.log")"
  echo "lintian: no errors, $(grep -c '^W:' "$work/lintian.log") warnings"
fi
echo "1 passed, 0 failed"
