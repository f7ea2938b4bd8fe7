#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need, only those missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl2-dev libsdl2-ttf-dev libfluidsynth-dev libfontconfig-dev
          fonts-dejavu-core fonts-dejavu-extra timgm6mb-soundfont libgtest-dev googletest libbenchmark-dev
          xvfb xdotool imagemagick x11-utils libx11-dev libxext-dev libx11-xcb-dev libxcb-shm0-dev openbox libenet-dev iproute2 nftables clang-format)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi
# The Debian package (dpkg-shlibdeps) and its test.
packages+=(dpkg-dev lintian desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == *"ok installed"* ]] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
