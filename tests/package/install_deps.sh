#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tools/install-deps.sh against stand-ins for dpkg-query, id, sudo and apt-get, so nothing is
# installed: which set each script asks for, that apt-get still sees DEBIAN_FRONTEND through
# sudo's clean environment, and the clear refusals on another system or without root or sudo.
# Usage: install_deps.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
fake="$work/bin"
mkdir -p "$fake"
# Nothing installed; a user who is not root; sudo as the real one (environment reset, -v asks
# whether this user may); apt-get writing down what it was asked and what it saw.
cat >"$fake/dpkg-query" <<'EOF'
#!/bin/sh
exit 1
EOF
cat >"$fake/id" <<'EOF'
#!/bin/sh
case "$1" in -u) echo "${FAKE_UID:-1000}" ;; *) echo tester ;; esac
EOF
cat >"$fake/sudo" <<'EOF'
#!/bin/sh
[ "$1" = -v ] && exit "${FAKE_SUDO_RC:-0}"
exec env -i PATH="$PATH" APT_LOG="$APT_LOG" "$@"
EOF
cat >"$fake/apt-get" <<'EOF'
#!/bin/sh
echo "DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-} $*" >>"$APT_LOG"
EOF
chmod +x "$fake"/*
# Only these from the system: a real sudo or apt-get must never be reached from here.
sys="$work/sys"
mkdir -p "$sys"
for tool in cat env; do ln -s "$(command -v $tool)" "$sys/$tool"; done
printf 'ID=debian\nVERSION_ID="12"\n' >"$work/debian"
printf 'ID=linuxmint\nID_LIKE="ubuntu debian"\n' >"$work/mint"
printf 'ID=fedora\nVERSION_ID=40\n' >"$work/fedora"

run() { # run OS_RELEASE [ARGS]: the script's status; its output in $work/out, apt-get's calls in $work/apt
  local release=$1
  shift
  : >"$work/apt"
  env PATH="$fake:$sys" APT_LOG="$work/apt" QUORVANE_OS_RELEASE="$work/$release" \
    "$BASH" "$src/tools/install-deps.sh" "$@" >"$work/out" 2>&1
}
installs() { grep ' install ' "$work/apt"; }

# The play set: what building and playing need, none of the test tools.
run debian || fail "play set: exit $?: $(cat "$work/out")"
for p in cmake libsdl2-dev libfluidsynth-dev libenet-dev libwebsockets-dev libpng-dev fonts-dejavu-extra; do
  installs | grep -qw -- "$p" || fail "the play set lacks $p: $(installs)"
done
for p in lintian devscripts xvfb libgtest-dev clang-14; do
  installs | grep -qw -- "$p" && fail "the play set holds the test tool $p"
done
# Through sudo, whose clean environment would drop an exported variable.
[ "$(grep -c '^DEBIAN_FRONTEND=noninteractive ' "$work/apt")" -eq 2 ] ||
  fail "apt-get did not see DEBIAN_FRONTEND=noninteractive through sudo: $(cat "$work/apt")"
echo "play set through sudo: $(installs | wc -w) words, DEBIAN_FRONTEND kept"

# The test set adds the tests', fuzzing's and packaging's tools; a derivative of Ubuntu counts.
run mint --test || fail "test set: exit $?: $(cat "$work/out")"
for p in cmake libsdl2-dev lintian devscripts dpkg-dev xvfb xdotool libgtest-dev clang-14 appstream nftables; do
  installs | grep -qw -- "$p" || fail "the test set lacks $p: $(installs)"
done
echo "test set: the play set and the test tools"

# A Node.js that brings its own npm (NodeSource's) conflicts with Debian's npm: not asked for then.
printf '#!/bin/sh\n' >"$fake/npm"
chmod +x "$fake/npm"
run debian --test || fail "test set with npm present: exit $?: $(cat "$work/out")"
installs | grep -qw -- npm && fail "npm asked for though an npm is there: $(installs)"
installs | grep -qw -- nodejs || fail "the test set lacks nodejs: $(installs)"
rm "$fake/npm"

# The scripts ask for the right sets.
grep -qx './tools/install-deps.sh' "$src/play.sh" || fail "play.sh does not install the play set alone"
grep -qx './tools/install-deps.sh --test' "$src/test.sh" || fail "test.sh does not install the test set"

# Refusals: non-zero, apt-get untouched, and saying what to do instead.
run fedora
rc=$?
[ $rc -ne 0 ] || fail "on Fedora the script succeeded"
[ ! -s "$work/apt" ] || fail "on Fedora apt-get was called"
for words in 'not Debian or Ubuntu' 'SDL2' 'FluidSynth' 'CMake'; do
  grep -q "$words" "$work/out" || fail "on Fedora the script does not say '$words': $(cat "$work/out")"
done
echo "another system: exit $rc, $(head -n1 "$work/out")"

FAKE_SUDO_RC=1 run debian
rc=$?
[ $rc -ne 0 ] || fail "without sudo rights the script succeeded"
[ ! -s "$work/apt" ] || fail "without sudo rights apt-get was called"
grep -q 'root or sudo' "$work/out" && grep -q 'apt-get install --no-install-recommends .*libsdl2-dev' "$work/out" ||
  fail "without sudo rights the script does not say what to do: $(cat "$work/out")"
rm "$fake/sudo"
run debian
rc=$?
[ $rc -ne 0 ] && [ ! -s "$work/apt" ] && grep -q 'root or sudo' "$work/out" ||
  fail "without sudo: exit $rc, apt-get $(cat "$work/apt"), said: $(cat "$work/out")"
echo "no root, no sudo: exit $rc, $(head -n1 "$work/out")"

# As root: no sudo needed, and the variable still reaches apt-get.
FAKE_UID=0 run debian || fail "as root: exit $?: $(cat "$work/out")"
[ "$(grep -c '^DEBIAN_FRONTEND=noninteractive ' "$work/apt")" -eq 2 ] || fail "as root apt-get saw: $(cat "$work/apt")"
echo "as root: installed without sudo"
echo "1 passed, 0 failed"
