#!/usr/bin/env bash
# Small hand-made edge files for the fuzz corpora: ./fuzz/make_seeds.sh OUTDIR
set -euo pipefail
out=$1
mkdir -p "$out"/{bmp,palette,wav,midi,replay,net,server}
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }

# 4x2 8-bit picture, bottom row first, full palette.
bmp() { # width height bits sizeimage pixelbytes
  { printf 'BM'; le32 $((1078 + $5)); le32 0; le32 1078; le32 40; le32 $1; le32 $2; le16 1; le16 $3; le32 0
    le32 $4; le32 2835; le32 2835; le32 256; le32 256
    for i in $(seq 0 255); do printf "\\x$(printf %02x $i)\\x00\\x$(printf %02x $((255 - i)))\\x00"; done
    head -c "$5" /dev/zero | tr '\0' '\5'; }
}
bmp 4 2 8 8 8 >"$out/bmp/small.BMP"
bmp 4 -2 8 8 8 >"$out/bmp/topdown.BMP"
bmp 3 2 8 0 8 >"$out/bmp/padded-sizeimage0.BMP"
bmp 4 2 8 4000 8 >"$out/bmp/sizeimage-lies.BMP"
bmp 4 2 24 24 24 >"$out/bmp/rgb24.BMP"
head -c 30 "$out/bmp/small.BMP" >"$out/bmp/cut-header.BMP"

printf '255 0 0 0' >"$out/palette/one-entry.PAL"
printf '\n300 -1 7 2\n1 2 x 4' >"$out/palette/odd-values.PAL"

wav() { # fmt-size data-size claimed-data-size
  { printf 'RIFF'; le32 $((4 + 8 + $1 + 8 + $2)); printf 'WAVEfmt '; le32 $1; le16 1; le16 1; le32 11025
    le32 11025; le16 1; le16 8; [ "$1" -gt 16 ] && head -c $(($1 - 16)) /dev/zero
    printf 'data'; le32 $3; head -c "$2" /dev/zero | tr '\0' '\200'; }
}
wav 16 64 64 >"$out/wav/fmt16.WAV"
wav 18 64 64 >"$out/wav/fmt18.WAV"
wav 16 64 100000 >"$out/wav/data-lies.WAV"

{ printf 'MThd'; printf '\x00\x00\x00\x06\x00\x01\x00\x01\x00\x60'
  printf 'MTrk'; printf '\x00\x00\x00\x0c'
  printf '\x00\x90\x3c\x64\x60\x80\x3c\x00\x00\xff\x2f\x00'; } >"$out/midi/one-note.MID"
{ printf 'MThd'; printf '\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60'
  printf 'MTrk'; printf '\x00\x00\x10\x00\x00\x90'; } >"$out/midi/track-lies.MID"

# Recordings: the regression corpus, and one cut short.
for f in "$(dirname "$0")"/../tests/replays/*.qvr; do cp "$f" "$out/replay/"; done
head -c 60 "$(dirname "$0")/../tests/replays/bo1-p1-wins.qvr" >"$out/replay/cut.qvr"
# One of each network message: a frame, a seed, a hash, a goodbye, a hello.
printf 'QV\x01\x05\x07\x00\x00\x00\x01\x21' >"$out/net/frame"
printf 'QV\x01\x06\x01\x00\x00\x00\x10\x27\x00\x00' >"$out/net/seed"
printf 'QV\x01\x07\x09\x00\x00\x00\x88\x77\x66\x55\x44\x33\x22\x11' >"$out/net/hash"
printf 'QV\x01\x08\x01' >"$out/net/bye"
{ printf 'QV\x01\x01'; printf '0.1.0'; head -c 19 /dev/zero; } >"$out/net/hello"

# The room server: datagrams behind a length-and-source byte each (see fuzz_server.cpp).
# A create request, the same with a made-up token, a keep-alive, an ENet-like datagram to relay,
# a feed for a watcher (session 1, port 1).
{ printf '\x30QR\x01\x01\x01'; head -c 43 /dev/zero; } >"$out/server/create"
{ printf '\x30QR\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x07\x00\x00\x00\x00\x00\x00\x00\x09\x09\x09\x09\x09\x09\x09\x09'
  head -c 20 /dev/zero; } >"$out/server/token"
{ printf '\x64QR\x01\x04\x01\x00\x00\x00\x00\x00\x00\x00\x01'; head -c 23 /dev/zero; printf '\x47\x80\x00\x12\x34\x01\x02\x03'; } >"$out/server/keepalive-relay"
{ printf '\x30QR\x01\x09'; head -c 20 /dev/zero; printf '\x01'; head -c 11 /dev/zero; printf '\x01'; head -c 11 /dev/zero; } \
  >"$out/server/feed"
