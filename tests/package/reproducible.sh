#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package built twice from one source tree in two fresh build folders must be the
# same to the byte. Too slow for ./test.sh (two builds from scratch): .ci/run calls it.
# Usage: reproducible.sh SOURCE_DIR
#
# The second build differs from the first wherever a careless build would leak into the
# package: another folder (of another length), time zone, locale and umask. Neither uses a
# compiler cache: one with a base folder hands the compiler relative paths, which the path map
# cannot catch, and a cache would hide a compiler that is not deterministic. Both name a home
# page and a bug tracker, so the first package then goes through tests/package/package.sh with
# those set.
set -uo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
for tool in cmake cpack sha256sum ar tar git; do
  command -v $tool >/dev/null || fail "$tool is missing (./tools/install-deps.sh --test installs it)"
done
[ -z "$(git -C "$src" status --porcelain --untracked-files=no 2>/dev/null)" ] ||
  echo "note: $src has uncommitted changes; both builds take the same files all the same"

homepage=https://quorvane.test/
bugs=https://quorvane.test/bugs
server=rooms.quorvane.test
build() { # build FOLDER: configure, build what the package holds, pack; the .deb's path on stdout
  local dir=$1
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DQUORVANE_HOMEPAGE=$homepage -DQUORVANE_BUGS=$bugs \
    -DQUORVANE_DEFAULT_SERVER=$server >"$dir.log" 2>&1 &&
    cmake --build "$dir" -j"$(nproc)" --target packaged >>"$dir.log" 2>&1 &&
    (cd "$dir" && cpack -G DEB -B "$dir/pkg") >>"$dir.log" 2>&1 || {
    tail -n 30 "$dir.log" >&2
    return 1
  }
  ls "$dir"/pkg/quorvane_*.deb
}
export CCACHE_DISABLE=1
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
start=$(date +%s)
a=$(build "$work/a") || fail "the first build failed"
b=$(umask 0002 && export TZ=Pacific/Chatham LC_ALL=C.UTF-8 && build "$work/second-build-folder") ||
  fail "the second build failed"
echo "two builds in $(($(date +%s) - start)) s"
sum_a=$(sha256sum "$a" | cut -d' ' -f1)
sum_b=$(sha256sum "$b" | cut -d' ' -f1)
echo "sha256 $sum_a  $a"
echo "sha256 $sum_b  $b"
if [ "$sum_a" != "$sum_b" ]; then
  # Say where they differ: which member of the ar archive, then which files inside.
  for side in a b; do
    deb=$a
    [ $side = b ] && deb=$b
    mkdir -p "$work/cmp/$side/data" "$work/cmp/$side/control"
    (cd "$work/cmp/$side" && ar x "$deb" && tar -xf data.tar.* -C data && tar -xf control.tar.* -C control)
    tar -tvf "$work"/cmp/$side/data.tar.* >"$work/cmp/$side.list"
  done
  echo "members differing: $(cd "$work/cmp/a" && for m in *.tar.* debian-binary; do cmp -s "$m" "../b/$m" || echo -n "$m "; done)"
  diff <(ar tv "$a") <(ar tv "$b")
  diff "$work/cmp/a.list" "$work/cmp/b.list" | head -n 20
  diff -rq "$work/cmp/a" "$work/cmp/b" | grep -v '\.tar\.' | head -n 20
  fail "two builds of one source gave different packages"
fi
echo "reproducible: both packages are the same to the byte"

# The first package again, now with a home page, a bug tracker and a room server to find everywhere.
bash "$src/tests/package/package.sh" "$work/a" "$src"
rc=$?
# 77: all checked but the desktop entry's windows (no Xvfb).
[ $rc -eq 0 ] || [ $rc -eq 77 ] || fail "tests/package/package.sh on the build with addresses"
