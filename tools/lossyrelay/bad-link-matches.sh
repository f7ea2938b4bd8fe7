#!/usr/bin/env bash
# Plays N simulator matches over a lossy, reordering link and says how many ended alike.
#   tools/lossyrelay/bad-link-matches.sh BUILD_DIR [N] [LOSS] [DELAY]
# Each match: a host, a relay in front of it, a joiner through the relay; both result lines
# and exit statuses must agree. Defaults: 20 matches, 10 % loss each way, 50-150 ms delay.
set -uo pipefail
build=$(cd "$1" && pwd)
n=${2:-20} loss=${3:-0.1} delay=${4:-50-150}
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
ok=0
cd "$build/assets"
for i in $(seq 1 "$n"); do
  port=$(free_port)
  "$build/quorvane-sim" --host "$port" --computer 1 --seed "$i" >"$work/h.out" 2>"$work/h.err" &
  host=$!
  "$build/quorvane_lossy_relay" --listen 0 --to "127.0.0.1:$port" --loss "$loss" --delay "$delay" --seed "$i" >"$work/r.out" &
  relay=$!
  pids=("$host" "$relay")
  for _ in $(seq 1 100); do grep -q '^relay:' "$work/r.out" 2>/dev/null && break; sleep 0.05; done
  rport=$(sed -n 's/^relay: //p' "$work/r.out")
  "$build/quorvane-sim" --join "127.0.0.1:$rport" --computer 2 >"$work/j.out" 2>"$work/j.err" &
  join=$!
  pids+=("$join")
  wait "$host"; hs=$?
  wait "$join"; js=$?
  kill "$relay" 2>/dev/null; wait "$relay" 2>/dev/null
  if [ "$hs" = 0 ] && [ "$js" = 0 ] && [ -s "$work/h.out" ] && cmp -s "$work/h.out" "$work/j.out"; then
    ok=$((ok + 1))
    echo "match $i: equal, $(cat "$work/h.out")"
  else
    echo "match $i: host $hs '$(cat "$work/h.out")' / joiner $js '$(cat "$work/j.out")'"
    tail -n 2 "$work/h.err" "$work/j.err" | sed 's/^/    /'
  fi
done
echo "$ok of $n matches ended alike"
[ "$ok" = "$n" ]
