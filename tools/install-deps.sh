#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian or Ubuntu packages Quorvane needs, only those missing.
#   tools/install-deps.sh          the play set: build and run the game (./play.sh)
#   tools/install-deps.sh --test   the play set and the test set: tests, fuzzing, packaging (./test.sh)
# Needs root or sudo, and only when something is missing.
set -euo pipefail

# Build and run the game.
play=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libfluidsynth-dev libenet-dev libpng-dev libwebsockets-dev
  libx11-dev libxext-dev libx11-xcb-dev libxcb-shm0-dev
  fonts-dejavu-core fonts-dejavu-extra timgm6mb-soundfont
)
# The tests, benchmarks and fuzzing, and the package's checks.
test=(
  libgtest-dev googletest libbenchmark-dev clang-format
  xvfb xdotool imagemagick x11-utils openbox iproute2 nftables
  clang-14 libclang-rt-14-dev
  dpkg-dev lintian devscripts desktop-file-utils appstream librsvg2-bin
  emscripten nodejs npm chromium vorbis-tools
)

case "${1:-}" in
  "") wanted=("${play[@]}") ;;
  --test | --fuzz) wanted=("${play[@]}" "${test[@]}") ;;
  *)
    echo "usage: $0 [--test]" >&2
    exit 2
    ;;
esac

# Debian and Ubuntu (and their derivatives) name these packages alike; elsewhere a person does.
os_release=${QUORVANE_OS_RELEASE:-/etc/os-release}
id="" id_like=""
if [ -r "$os_release" ]; then
  id=$(. "$os_release" && echo "${ID:-}")
  id_like=$(. "$os_release" && echo "${ID_LIKE:-}")
fi
case " $id $id_like " in
  *" debian "* | *" ubuntu "*) ;;
  *)
    cat >&2 <<EOF
install-deps.sh: this is not Debian or Ubuntu (${id:-unknown system}), so nothing was installed.
Install by hand, with your system's package manager:
  to build and play: a C++20 compiler (GCC 12 or Clang 14), CMake 3.25 or later, pkg-config,
    and the development files of SDL2, SDL2_ttf, fontconfig, FluidSynth, ENet, libpng, Xlib,
    Xext, X11-xcb and xcb-shm; the DejaVu fonts (DejaVu Sans Condensed Bold) and a General
    MIDI SoundFont (for the music; the game plays without it).
  to test as well: GoogleTest, Google Benchmark, clang-format, Xvfb, xdotool, ImageMagick,
    xprop, openbox, iproute2, nftables, Clang 14 with libFuzzer, dpkg-dev, lintian, devscripts
    (hardening-check), desktop-file-utils, appstream, librsvg (rsvg-convert).
The Debian names of these packages: ${wanted[*]}
EOF
    exit 1
    ;;
esac

missing=()
for p in "${wanted[@]}"; do
  # Node.js from elsewhere (NodeSource) brings its own npm, which Debian's npm package conflicts with.
  if [ "$p" = npm ] && command -v npm >/dev/null; then continue; fi
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == *"ok installed"* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# sudo starts its command with a clean environment: the variable goes in as an argument.
if [ "$(id -u)" -eq 0 ]; then
  as_root=(env DEBIAN_FRONTEND=noninteractive)
elif command -v sudo >/dev/null && sudo -v; then
  as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
  cat >&2 <<EOF
install-deps.sh: these packages are missing, and installing them needs root or sudo, which
this user ($(id -un 2>/dev/null || id -u)) cannot use. Ask someone who can to run:
  apt-get install --no-install-recommends ${missing[*]}
EOF
  exit 1
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
