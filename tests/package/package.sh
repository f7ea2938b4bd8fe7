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
xvfb_need dpkg-deb identify convert lintian hardening-check readelf objdump cc

# --- build and unpack ------------------------------------------------------------
(cd "$build" && timeout 240 "$cpack" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
deb=$(ls "$work"/pkg/quorvane_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no quorvane_*.deb in $work/pkg"
root="$work/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x $deb failed"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# --- the control fields -----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
names_of() { tr ',|' '\n\n' | sed 's/(.*//; s/ //g' | sed '/^$/d'; }
depends=$(field Depends | names_of)
recommends=$(field Recommends | names_of)
# Libraries as dpkg-shlibdeps finds them (versioned), the font the game cannot start without.
for need in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libenet7 libwebsockets17 libc6 fonts-dejavu-extra; do
  grep -qx -- "$need" <<<"$depends" || fail "Depends lacks $need: $(field Depends)"
done
field Depends | grep -q 'libsdl2-2.0-0 (>= ' || fail "Depends not computed by dpkg-shlibdeps: $(field Depends)"
# The game plays without music: what only the music needs is recommended, not required.
for need in libfluidsynth3 timgm6mb-soundfont fluid-soundfont-gm; do
  grep -qx -- "$need" <<<"$recommends" || fail "Recommends lacks $need: $(field Recommends)"
  grep -qx -- "$need" <<<"$depends" && fail "Depends holds $need, which only the music needs"
done
maintainer=$(field Maintainer)
case "$maintainer" in
  "Quorvane developers <"*">") ;;
  *) fail "Maintainer does not name the project: $maintainer" ;;
esac
grep -qi '\.example' <<<"$maintainer" && fail "Maintainer is a placeholder: $maintainer"
# This build names no home page or bug tracker: no field, line or element for them anywhere.
homepage=$(sed -n 's/^QUORVANE_HOMEPAGE:STRING=//p' "$build/CMakeCache.txt")
bugs=$(sed -n 's/^QUORVANE_BUGS:STRING=//p' "$build/CMakeCache.txt")
[ "$(field Homepage)" = "$homepage" ] || fail "Homepage field '$(field Homepage)', the build's '$homepage'"
if [ -z "$bugs" ]; then
  field Description | grep -qi 'report bugs' && fail "Description names a bug tracker though none is set"
else
  field Description | grep -qF "$bugs" || fail "Description does not name the bug tracker $bugs"
fi
echo "control: Depends $(echo $depends), Recommends $(echo $recommends)"

# --- the files an install holds ------------------------------------------------------
listed="usr/games/quorvane usr/games/quorvane-sim usr/libexec/quorvane/quorvane
usr/share/man/man6/quorvane.6.gz usr/share/man/man6/quorvane-sim.6.gz
usr/share/doc/quorvane/README.md usr/share/doc/quorvane/changelog.gz usr/share/doc/quorvane/copyright
usr/share/applications/quorvane.desktop usr/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml
usr/share/icons/hicolor/scalable/apps/quorvane.svg"
# The room server, once the tree builds one, with its manual page and its unit.
if [ -x "$build/quorvane-server" ]; then
  listed="$listed usr/games/quorvane-server usr/share/man/man8/quorvane-server.8.gz
usr/lib/systemd/system/quorvane-server.service"
  grep -qx 'ExecStart=/usr/games/quorvane-server\( .*\)\?' "$root/usr/lib/systemd/system/quorvane-server.service" ||
    fail "the server's unit does not start /usr/games/quorvane-server"
fi
for f in $listed; do
  [ -s "$root/$f" ] || fail "$f is missing or empty"
done
for f in usr/games/quorvane usr/games/quorvane-sim usr/libexec/quorvane/quorvane; do
  [ -x "$root/$f" ] || fail "$f is not executable"
done
cmp -s "$2/README.md" "$root/usr/share/doc/quorvane/README.md" || fail "the packaged README is not the tree's"
zcat "$root/usr/share/doc/quorvane/changelog.gz" | head -n1 | grep -q "^quorvane ($(field Version))" ||
  fail "the changelog does not start with version $(field Version)"
echo "files: $(echo $listed | wc -w) listed files present"

# --- the licence ---------------------------------------------------------------------
cmp -s "$2/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GNU GPL version 3"
copyright="$root/usr/share/doc/quorvane/copyright"
head -n1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format"
grep -qx 'License: GPL-3+' "$copyright" || fail "copyright does not grant GPL-3+"
grep -qi 'all rights reserved\|all-rights-reserved' "$copyright" && fail "copyright still reserves all rights"
"$root/usr/games/quorvane" --version | grep -q 'GPL-3.0-or-later' || fail "quorvane --version does not name the licence"
"$root/usr/games/quorvane-sim" --version | grep -q 'GPL-3.0-or-later' || fail "quorvane-sim --version does not name the licence"

# --- icons: every size the generator names, small, and a scalable one ------------------
sizes=$(sed -n 's/.*GEN_ICON_SIZES\[\] = {\(.*\)};.*/\1/p' "$2/tools/assetgen/assetgen.h" | tr -d ',')
[ "$(echo $sizes)" = "16 24 32 48 64 128 256 512" ] || fail "icon sizes are '$sizes'"
for size in $sizes; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/quorvane.png"
  got=$(identify -regard-warnings -format "%m %wx%h" "$icon" 2>&1) || fail "icon $size: $got"
  [ "$got" = "PNG ${size}x${size}" ] || fail "icon $size is $got"
  # A tile with round corners: mostly opaque, corners clear (but for the edge's smoothing at 16 px).
  alpha=$(convert "$icon" -alpha extract -format "%[fx:mean] %[fx:p{0,0}] %[fx:p{w/2,h/2}]" info:)
  read -r mean corner centre <<<"$alpha"
  awk -v m="$mean" -v c="$corner" -v z="$centre" 'BEGIN { exit !(m > 0.8 && m < 1 && c < 0.1 && z == 1) }' ||
    fail "icon $size alpha: mean $mean, corner $corner, centre $centre"
done
icon256=$(stat -c %s "$root/usr/share/icons/hicolor/256x256/apps/quorvane.png")
[ "$icon256" -lt 40960 ] || fail "the 256 px icon takes $icon256 bytes, over 40 kB"
svg="$root/usr/share/icons/hicolor/scalable/apps/quorvane.svg"
if command -v rsvg-convert >/dev/null; then
  rsvg-convert -w 64 -h 64 "$svg" -o "$work/svg.png" 2>"$work/svg.log" || fail "the SVG icon does not render: $(cat "$work/svg.log")"
  alpha=$(convert "$work/svg.png" -alpha extract -format "%[fx:p{0,0}] %[fx:p{32,32}]" info:)
  [ "$alpha" = "0 1" ] || fail "the SVG icon is not a tile with clear corners (alpha corner, centre: $alpha)"
fi
echo "icons: $(echo $sizes) px and an SVG; the 256 px one takes $icon256 bytes"

# --- AppStream ---------------------------------------------------------------------------
metainfo="$root/usr/share/metainfo/io.github.quorvane.Quorvane.metainfo.xml"
grep -q '<launchable type="desktop-id">quorvane.desktop</launchable>' "$metainfo" || fail "metainfo does not launch quorvane.desktop"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "metainfo has no project_license"
grep -q '<metadata_license>CC0-1.0</metadata_license>' "$metainfo" || fail "metainfo has no CC0 metadata_license"
# Placeholders would show as empty or @...@ values.
grep -q '@[A-Z_]*@\|<url[^>]*></url>\|<image></image>' "$metainfo" && fail "metainfo holds a placeholder: $(grep '@\|<url' "$metainfo")"
if [ -n "$homepage" ]; then
  grep -qF "<url type=\"homepage\">$homepage</url>" "$metainfo" || fail "metainfo lacks the home page"
else
  grep -q '<url type="homepage">' "$metainfo" && fail "metainfo names a home page though none is set"
fi
if [ -n "$bugs" ]; then
  grep -qF "<url type=\"bugtracker\">$bugs</url>" "$metainfo" || fail "metainfo lacks the bug tracker"
else
  grep -q '<url type="bugtracker">' "$metainfo" && fail "metainfo names a bug tracker though none is set"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1 || fail "metainfo: $(cat "$work/as.log")"
fi

# --- the manual pages -------------------------------------------------------------------
man="$root/usr/share/man/man6/quorvane.6.gz"
for topic in QUORVANE_SOUNDFONT 'FluidSynth' 'music is off' 'quorvane\\-desync' '\\-\\-record' 'result line' \
  'GNU General Public License'; do
  zcat "$man" | grep -q -- "$topic" || fail "the manual page does not mention $topic"
done
for page in "$man" "$root/usr/share/man/man6/quorvane-sim.6.gz"; do
  if [ -n "$bugs" ]; then
    zcat "$page" | grep -qF "$bugs" || fail "$(basename "$page") does not say where to report bugs"
  else
    zcat "$page" | grep -q 'REPORTING BUGS' && fail "$(basename "$page") has a REPORTING BUGS section without a tracker"
  fi
  if [ -n "$homepage" ]; then
    zcat "$page" | grep -qF "$homepage" || fail "$(basename "$page") does not name the home page"
  fi
done
for program in quorvane quorvane-sim; do
  help=$(SDL_VIDEODRIVER=dummy "$root/usr/games/$program" --help)
  if [ -n "$bugs" ]; then
    grep -qF "Report bugs at $bugs" <<<"$help" || fail "$program --help does not say where to report bugs"
  else
    grep -qi 'report bugs' <<<"$help" && fail "$program --help names a bug tracker though none is set"
  fi
  if [ -n "$homepage" ]; then
    grep -qF "$homepage" <<<"$help" || fail "$program --help does not name the home page"
  else
    grep -qi 'home page' <<<"$help" && fail "$program --help names a home page though none is set"
  fi
done

# --- each manual page lists exactly the options of its program's --help -------------------
options_of() { grep -oE -- '(^|[ ,])-(-[a-z0-9][a-z0-9-]*|[a-zA-Z])\b' | tr -d ' ,' | sort -u; }
for program in quorvane quorvane-sim; do
  page="$root/usr/share/man/man6/$program.6.gz"
  help_opts=$(SDL_VIDEODRIVER=dummy "$root/usr/games/$program" --help | grep -E '^ +-' | options_of)
  # The tags of the OPTIONS section's paragraphs (the line after each .TP), \- read as -.
  man_opts=$(zcat "$page" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | awk 'prev == ".TP" { print } { prev = $0 }' |
    sed 's/\\-/-/g' | options_of)
  [ -n "$help_opts" ] || fail "$program --help listed no options"
  if [ "$help_opts" != "$man_opts" ]; then
    fail "$program: options differ (< --help, > manual page):
$(diff <(echo "$help_opts") <(echo "$man_opts") | grep '^[<>]')"
  fi
  echo "manual page: $program, the $(echo "$help_opts" | wc -l) options of --help: $(echo $help_opts)"
done

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

# --- lintian: no errors, no warnings ------------------------------------------------------
timeout 240 lintian --pedantic --display-info "$deb" >"$work/lintian.log" 2>&1
tags=$(grep -E '^[EWIPXCON]: ' "$work/lintian.log")
grep -qE '^[EW]: ' <<<"$tags" && fail "lintian:
$tags"
echo "lintian: no errors or warnings${tags:+; also:
$tags}"

# --- hardening: every binary of the package --------------------------------------------
# Debian 12's C start files (crt1.o, crti.o) carry no IBT/SHSTK marking, so no program linked
# on it gets one and hardening-check's control-flow test cannot pass here; that our own code is
# built with -fcf-protection (and -fstack-clash-protection, which hardening-check can only
# guess at) is read from the compiler's record in the debug information instead.
elves=$(cd "$root" && find . -type f -exec sh -c 'head -c4 "$1" | grep -q "^.ELF"' sh {} \; -print | sed 's|^\./||' | sort)
[ -n "$elves" ] || fail "no binaries in the package"
for f in $elves; do
  out=$(hardening-check --nocfprotection "$root/$f" 2>&1) || fail "hardening-check $f:
$out"
  echo "$out" | sed 's/^/  /' | sed "s|$root/||"
  readelf -S "$root/$f" | grep -qE '\.comment|\.debug_' && fail "$f is not stripped of .comment and debug sections"
  id=$(readelf -n "$root/$f" | sed -n 's/.*Build ID: //p')
  debug="$build/debug/.build-id/${id:0:2}/${id:2}.debug"
  [ -s "$debug" ] || fail "$f: no debug file $debug"
  producers=$(readelf --debug-dump=info "$debug" 2>/dev/null | grep DW_AT_producer | grep -v 'GNU AS')
  [ -n "$producers" ] || fail "$f: no compiler records in $debug"
  for flag in -fstack-protector-strong -fstack-clash-protection -fcf-protection; do
    lacking=$(grep -vc -- "$flag" <<<"$producers")
    [ "$lacking" -eq 0 ] || fail "$f: $lacking of its compilation units were built without $flag"
  done
done
echo "hardening: $(echo $elves) hardened, stripped, debug files under build/debug"

# --- installed without the recommended packages: plays without music, says so once ---------
# A FluidSynth without its functions, found first, stands in for FluidSynth not installed.
mkdir -p "$work/nofluid"
cc -shared -fPIC -o "$work/nofluid/libfluidsynth.so.3" -x c /dev/null || fail "cannot build the stand-in library"
recording="$(cd "$2" && pwd)/tests/replays/real-xdotool"
(cd "$work" && env -u QUORVANE_SOUNDFONT LD_LIBRARY_PATH="$work/nofluid" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
  timeout 120 "$root/usr/games/quorvane" --replay "$recording.qvr" >"$work/quiet.out" 2>"$work/quiet.err")
rc=$?
[ $rc -eq 0 ] || fail "without FluidSynth the game exited with $rc: $(cat "$work/quiet.err")"
[ "$(tail -n1 "$work/quiet.out")" = "$(cat "$recording.result")" ] ||
  fail "without FluidSynth the replay ended '$(tail -n1 "$work/quiet.out")', not '$(cat "$recording.result")'"
said=$(grep -c 'music is off' "$work/quiet.err")
[ "$said" -eq 1 ] || fail "without FluidSynth the game said 'music is off' $said times: $(cat "$work/quiet.err")"
grep 'music is off' "$work/quiet.err" | grep -q 'FluidSynth' || fail "the game does not say why the music is off: $(cat "$work/quiet.err")"
echo "without FluidSynth: the replay played to its result; stderr: $(grep 'music is off' "$work/quiet.err")"

# --- start the game from the desktop entry -------------------------------------------
desktop="$root/usr/share/applications/quorvane.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop entry: $out"
fi
grep -qx 'Icon=quorvane' "$desktop" || fail "desktop entry has no Icon=quorvane"
# "Play online" only where the build names a default room server: without one it would fail.
server=$(sed -n 's/^QUORVANE_DEFAULT_SERVER:STRING=//p' "$build/CMakeCache.txt")
if [ -n "$server" ]; then
  grep -qx 'Actions=online;computer;window;' "$desktop" || fail "desktop entry lacks its actions: $(grep Actions "$desktop")"
  grep -A3 -x '\[Desktop Action online\]' "$desktop" | grep -qx 'Name=Play online' || fail "no action named Play online"
  grep -A3 -x '\[Desktop Action online\]' "$desktop" | grep -qx 'Exec=/usr/games/quorvane --online' ||
    fail "the online action does not make a room"
  exec_lines=4
else
  grep -qx 'Actions=computer;window;' "$desktop" || fail "desktop entry lacks its actions: $(grep Actions "$desktop")"
  grep -q -- '--online\|Desktop Action online' "$desktop" && fail "desktop entry offers online play without a room server"
  exec_lines=3
fi
grep -A3 -x '\[Desktop Action computer\]' "$desktop" | grep -qx 'Exec=/usr/games/quorvane --computer 2' ||
  fail "no action to play against the computer"
grep -A3 -x '\[Desktop Action window\]' "$desktop" | grep -qx 'Exec=/usr/games/quorvane --window' ||
  fail "no action for a window"
mapfile -t execs < <(grep -E '^Exec=' "$desktop" | sed 's/^Exec=//; s/ %[fFuUick]//g')
[ "${#execs[@]}" -eq $exec_lines ] || fail "expected $exec_lines Exec lines, found ${#execs[@]}"

for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is missing, the game was not started"; exit 77; }
done
xvfb_start 1280x1024 || fail "Xvfb did not start"
unset SDL_VIDEODRIVER

for line in "${execs[@]}"; do
  # The room server named at build time is not there to reach: its line was checked above.
  [ "$line" = "/usr/games/quorvane --online" ] && continue
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

echo "1 passed, 0 failed"
