#!/usr/bin/env bash
# The web build in Debian's chromium: builds the page (web.sh) into BUILD/web, then page.test.js.
# Usage: run.sh BUILD_DIR SOURCE_DIR. Skipped (exit 77) where the web tools are not installed.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
for tool in emcc chromium node oggenc; do
  if ! command -v $tool >/dev/null; then
    echo "SKIPPED: the browser tests need $tool (tools/install-deps.sh --test installs it)"
    exit 77
  fi
done
if [ ! -d "$src/tests/web/node_modules/puppeteer-core" ]; then
  (cd "$src/tests/web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
fi
WEB_SKIP_INSTALL=1 WEB_OUT="$build/web" WEB_NATIVE="$build" "$src/web.sh" build >"$build/web-build.log" 2>&1 ||
  { tail -30 "$build/web-build.log"; echo "FAIL: the web build failed"; exit 1; }
cmake --build "$build" --target quorvane_webref quorvane-sim quorvane-server >/dev/null
"$build/quorvane_webref" "$build/assets" "$build/web-title.ppm"
cd "$src/tests/web"
exec node page.test.js "$build/web" "$build/web-title.ppm" "$build/quorvane-sim" "$src/tests/replays" \
  "$build/quorvane-server" "$build/assets"
