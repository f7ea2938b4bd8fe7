#!/usr/bin/env bash
# The game in a browser.
#   ./web.sh build   installs what is missing, builds the page into build-web/
#                    (index.html, index.js, index.wasm, index.data, music/)
#   ./web.sh [PORT]  the same, then serves it on 127.0.0.1 (port 8080 by default)
# WEB_OUT and WEB_NATIVE name other folders for the page and the native helpers (the tests use that).
set -euo pipefail
cd "$(dirname "$0")"
src=$PWD
out=${WEB_OUT:-$src/build-web}
native=${WEB_NATIVE:-$src/build}
[ "${WEB_SKIP_INSTALL:-0}" = 1 ] || ./tools/install-deps.sh --test
jobs=$(nproc)

# The native build makes what the page cannot: the assets, the glyph atlas and the music.
# A native build folder that exists keeps its own settings (a sanitizer build, say).
[ -f "$native/CMakeCache.txt" ] || cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$native" -j"$jobs" --target assets quorvane_webfont quorvane_webmusic >/dev/null
mkdir -p "$out/data" "$out/music"
cp "$native"/assets/* "$out/data/"
"$native/quorvane_webfont" "$out/data/webfont.qwf"
# Music takes a while to render: only when the pieces changed.
midis=("$native"/assets/*.MID)
if [ ! -f "$out/music/music.txt" ] || [ -n "$(find "${midis[@]}" -newer "$out/music/music.txt")" ]; then
  rm -f "$out"/music/*
  if "$native/quorvane_webmusic" "$out/music" "${midis[@]}"; then
    for wav in "$out"/music/*.wav; do
      oggenc -Q -q 3 -o "${wav%.wav}.ogg" "$wav" && rm "$wav"
    done
  fi
fi

# emcc's optimiser needs Debian's node modules.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_WEB_DATA="$out/data" >/dev/null
cmake --build "$out" -j"$jobs"
[ "${1:-}" = build ] && exit 0

port=${1:-8080}
echo "Quorvane in the browser: open http://127.0.0.1:$port/ (Ctrl+C stops the server)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$out" "$port" >/dev/null 2>&1
