# Sourced by the namespace tests: a "public" segment (203.0.113.0/24) with the room server on
# 203.0.113.10, and functions that add home routers (nftables masquerade) and machines behind
# them; everything is removed on exit. Exits 77 (skipped) where namespaces cannot be made.
# Arguments: BUILD_DIR. Sets sim, server, tag, work, pids (the server first), fail.
build=$(cd "$1" && pwd)
sim=$build/quorvane-sim server=$build/quorvane-server
tag=qv$$
pub=$tag-pub
namespaces=() pids=()
work=$(mktemp -d)
unset XDG_RUNTIME_DIR # each game's machine is the test's to name

cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  for n in "${namespaces[@]}"; do ip netns del "$n" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; cat "$f"; done; exit 1; }

if [ "$(id -u)" -ne 0 ] || ! command -v nft >/dev/null || ! ip netns add "$tag-probe" 2>/dev/null; then
  echo "SKIP: network namespaces need root, iproute2 and nftables (tools/install-deps.sh)"
  exit 77
fi
ip netns del "$tag-probe"

ns() { ip netns add "$1" && namespaces+=("$1") && ip -n "$1" link set lo up; }

# The public segment: a bridge, with the room server on 203.0.113.10. Every bridge gets its own
# fixed MAC address: one left to the kernel takes its lowest port's, so a router added later can
# change the server's under the others' ARP caches, and their frames to it are then dropped.
ns "$pub"
ip -n "$pub" link add br0 address 02:00:00:00:00:0a type bridge
ip -n "$pub" addr add 203.0.113.10/24 dev br0
ip -n "$pub" link set br0 up

# router NAME PUBLIC_LAST LAN_NET NAT_KIND: a home router on the segment, its LAN a bridge.
router() {
  local r=$tag-$1
  ns "$r"
  ip -n "$r" link add wan type veth peer name "to-$1" netns "$pub"
  ip -n "$pub" link set dev "to-$1" master br0 up
  ip -n "$r" addr add "203.0.113.$2/24" dev wan
  ip -n "$r" link set wan up
  ip -n "$r" link add lan address "02:00:00:00:01:$(printf %02x "$2")" type bridge
  ip -n "$r" addr add "$3.1/24" dev lan
  ip -n "$r" link set lan up
  ip netns exec "$r" sysctl -qw net.ipv4.ip_forward=1
  ip netns exec "$r" nft -f - <<NFT || return 1
table ip nat {
  chain post { type nat hook postrouting priority 100; oifname "wan" masquerade $4; }
}
table ip filter {
  chain fwdin {
    type filter hook forward priority 0; policy drop;
    iifname "lan" accept
    ct state established,related accept
  }
  chain inp {
    type filter hook input priority 0; policy drop;
    iifname { "lo", "lan" } accept
    ct state established,related accept
  }
}
NFT
}

# home NAME ROUTER LAN_NET LAST: a machine on a router's LAN.
home() {
  local h=$tag-$1 r=$tag-$2
  ns "$h"
  ip -n "$h" link add eth0 type veth peer name "to-$1" netns "$r"
  ip -n "$r" link set dev "to-$1" master lan up
  ip -n "$h" addr add "$3.$4/24" dev eth0
  ip -n "$h" link set eth0 up
  ip -n "$h" route add default via "$3.1"
}

ip netns exec "$pub" "$server" --bind 203.0.113.10 >"$work/server.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q "on UDP" "$work/server.out" && break; sleep 0.05; done
grep -q "on UDP" "$work/server.out" || fail "the room server did not start"


# machine DIR: the games that follow run as on one machine, whose runtime directory is $work/DIR.
machine() { export XDG_RUNTIME_DIR="$work/$1"; mkdir -p -m 700 "$XDG_RUNTIME_DIR"; }

# make_room NAME HOME [OPTION...]: the computer makes a room from a home and plays player 1
# there; sets code (the room's) and maker (its pid). Output in $work/NAME-maker.out/.err.
make_room() {
  local name=$1 home=$2
  shift 2
  (machine "run-$home" && cd "$build/assets" &&
    exec ip netns exec "$tag-$home" "$sim" --online --server 203.0.113.10 --computer 1 "$@") \
    >"$work/$name-maker.out" 2>"$work/$name-maker.err" &
  maker=$!
  pids+=($maker)
  code=""
  for _ in $(seq 1 200); do
    code=$(sed -n 's/^room: //p' "$work/$name-maker.out")
    [ -n "$code" ] && break
    sleep 0.05
  done
  [ -n "$code" ] || fail "$name: no room code"
}

# wait_for PATTERN FILE TENTHS: polls until FILE has a line matching PATTERN; 1 if it never did.
wait_for() {
  for _ in $(seq 1 "$3"); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# wait_gone PID TENTHS: polls until the process ended; its status in st (124 if it overstayed).
wait_gone() {
  for _ in $(seq 1 "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then kill "$1"; wait "$1"; st=124; return 1; fi
  wait "$1"; st=$?
}
