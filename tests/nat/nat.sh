#!/usr/bin/env bash
# Online play across NATs, in network namespaces made and removed here:
#   a "public" segment (203.0.113.0/24) with the room server, and homes behind routers that
#   masquerade (port-preserving: punching works) or masquerade fully-random (symmetric: the
#   match must go through the relay). Two quorvane-sim processes meet by room code each time
#   and must play the whole match with equal result lines.
# Usage: nat.sh BUILD_DIR SOURCE_DIR. Exit 77 (skipped) where namespaces cannot be made.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/topology.sh" "$@"

# match NAME MAKER JOINER EXPECTED_LINK: a whole match between two homes, met by room code.
match() {
  local name=$1 joiner=$tag-$3 want=$4
  make_room "$name" "$2"
  local mp=$maker
  (cd "$build/assets" && exec timeout 150 ip netns exec "$joiner" "$sim" --online "$code" --server 203.0.113.10 \
    --computer 2) >"$work/$name-joiner.out" 2>"$work/$name-joiner.err"
  local js=$?
  local ms=0
  for _ in $(seq 1 300); do kill -0 "$mp" 2>/dev/null || break; sleep 0.1; done
  wait "$mp"; ms=$?
  [ "$ms" = 0 ] && [ "$js" = 0 ] || fail "$name: exit statuses $ms and $js"
  local a b
  a=$(sed -n '/^result: /p' "$work/$name-maker.out")
  b=$(sed -n '/^result: /p' "$work/$name-joiner.out")
  [ -n "$a" ] && [ "$a" = "$b" ] || fail "$name: result lines differ: '$a' / '$b'"
  grep -qx "link: $want" "$work/$name-maker.err" || fail "$name: the maker did not play $want"
  grep -qx "link: $want" "$work/$name-joiner.err" || fail "$name: the joiner did not play $want"
  echo "ok: $name: $want, $a"
}

# Two homes behind port-preserving NATs: punching opens a direct path.
router ra 1 10.1.0 "" || fail "nftables refused the router rules"
home a ra 10.1.0 2
router rb 2 10.2.0 ""
home b rb 10.2.0 2
match two-nats a b direct

# A symmetric NAT (a random port per mapping) on one side: the relay carries the match.
router rc 3 10.3.0 fully-random
home c rc 10.3.0 2
match symmetric a c relayed

# Both homes behind one NAT: no hairpin, so the relay; meanwhile a stranger on the public
# segment floods the server with garbage, cut-short and oversized datagrams.
home d ra 10.1.0 3
ip netns exec "$pub" bash -c 'for i in $(seq 1 3000); do
    printf "junk %d" $i >/dev/udp/203.0.113.10/24681; printf "QR\001\004" >/dev/udp/203.0.113.10/24681
    head -c 1600 /dev/zero >/dev/udp/203.0.113.10/24681; done' 2>/dev/null &
flood=$!
pids+=($flood)
match one-nat a d relayed
wait "$flood"
kill -USR1 "${pids[0]}"
for _ in $(seq 1 100); do grep -q "^stats" "$work/server.out" && break; sleep 0.05; done
stats=$(grep "^stats" "$work/server.out" | tail -n 1)
echo "$stats"
for reason in short oversized stranger; do
  n=$(sed -n "s/.*[ ,]$reason=\([0-9]*\).*/\1/p" <<<"$stats")
  [ "${n:-0}" -ge 3000 ] || fail "the flood's $reason datagrams were not all dropped and counted: $stats"
done

# The server stops mid-match (SIGTERM): both relayed players are told, and end within 10 s.
make_room stop a
mp=$maker
(cd "$build/assets" && exec ip netns exec "$tag-c" "$sim" --online "$code" --server 203.0.113.10 --computer 2) \
  >"$work/stop-joiner.out" 2>"$work/stop-joiner.err" &
jp=$!
pids+=($jp)
for _ in $(seq 1 200); do grep -q "match begins" "$work/stop-joiner.err" && break; sleep 0.05; done
grep -q "link: relayed" "$work/stop-joiner.err" || fail "stop: the match did not begin relayed"
kill -TERM "${pids[0]}"
stopped=$(date +%s)
for p in $mp $jp; do
  for _ in $(seq 1 120); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$p" 2>/dev/null && fail "stop: a player still runs 12 s after the server stopped"
  wait "$p"; st=$?
  [ "$st" = 3 ] || fail "stop: a player ended with $st, not 3"
done
[ $(( $(date +%s) - stopped )) -le 11 ] || fail "stop: the players took more than 10 s to end"
grep -q "room server has shut down" "$work/stop-maker.err" || fail "stop: the maker was not told why"
grep -q "room server has shut down" "$work/stop-joiner.err" || fail "stop: the joiner was not told why"
echo "ok: server stopped mid-match: both players told"
echo "PASS"
