#!/usr/bin/env bash
# A dropped link in a room's match, across NATs in network namespaces (topology.sh): the
# joiner's home router drops everything for 20 s mid-match; both sides say they wait for the
# link, reach each other again and finish with equal result lines; the room server counts
# one rejoin. As the link is cut two more machines come with the room's code: they watch the
# match from its start and print the same result line, the server counting two spectators; one
# of them is behind a symmetric NAT, which no punched hole crosses, and watches through the
# relay. Then a joiner is killed mid-match and started again at once on its machine: it takes
# its seat back, is brought up to the match's frame and the two finish with equal result lines;
# so too when the maker is killed and a new game from another machine takes its seat 16 s later,
# the joiner's game feeding it, while a watcher of the killed maker is told watching ends. A cut
# in the match's last frames, when the maker has played to the end and the joiner has not, is
# held alike by both.
# Usage: rejoin.sh BUILD_DIR SOURCE_DIR. Exit 77 (skipped) where namespaces cannot be made.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/topology.sh" "$@"

router ra 1 10.1.0 "" || fail "nftables refused the router rules"
home a ra 10.1.0 2
router rb 2 10.2.0 ""
home b rb 10.2.0 2
router rc 3 10.3.0 ""
home c rc 10.3.0 2
router rd 4 10.4.0 fully-random
home d rd 10.4.0 2

make_room cut a
(cd "$build/assets" && exec ip netns exec "$tag-b" "$sim" --online "$code" --server 203.0.113.10 --computer 2) \
  >"$work/cut-joiner.out" 2>"$work/cut-joiner.err" &
joiner=$!
pids+=($joiner)
wait_for "match begins" "$work/cut-joiner.err" 200 || fail "the match did not begin"
# Two more machines come with the code as the link is cut, long before the joiner has been
# silent 15 s (when its seat would go to a newcomer): they watch.
watchers=()
for w in c d; do
  (cd "$build/assets" && exec ip netns exec "$tag-$w" "$sim" --online "$code" --server 203.0.113.10) \
    >"$work/cut-watcher-$w.out" 2>"$work/cut-watcher-$w.err" &
  watchers+=($!)
  pids+=($!)
done

# The cut: the joiner's router forwards nothing, either way, for 20 s.
ip netns exec "$tag-rb" nft -f - <<'NFT' || fail "nftables refused the cut"
table ip cut {
  chain blackout { type filter hook forward priority -10; policy drop; }
}
NFT
cut_at=$(date +%s)
for side in maker joiner; do
  wait_for "the link dropped; waiting up to 90 s" "$work/cut-$side.err" 300 || fail "the $side did not say it waits"
done
kill -0 "$maker" && kill -0 "$joiner" || fail "a side ended while the link was down"
for w in c d; do
  wait_for "watching room $code" "$work/cut-watcher-$w.err" 200 || fail "the machine in home $w does not watch"
done
wait_for "^link: direct$" "$work/cut-watcher-c.err" 20 || fail "the watcher behind a NAT that keeps ports is not direct"
wait_for "^link: relayed$" "$work/cut-watcher-d.err" 20 || fail "the watcher behind a symmetric NAT is not relayed"
while [ $(( $(date +%s) - cut_at )) -lt 20 ]; do sleep 0.2; done
ip netns exec "$tag-rb" nft delete table ip cut

wait_gone "$joiner" 1200; js=$st
wait_gone "$maker" 300; ms=$st
wait_gone "${watchers[0]}" 300; wc=$st
wait_gone "${watchers[1]}" 300; wd=$st
[ "$ms" = 0 ] && [ "$js" = 0 ] && [ "$wc" = 0 ] && [ "$wd" = 0 ] || fail "exit statuses $ms, $js, $wc and $wd"
a=$(sed -n '/^result: /p' "$work/cut-maker.out")
b=$(sed -n '/^result: /p' "$work/cut-joiner.out")
c=$(sed -n '/^result: /p' "$work/cut-watcher-c.out")
d=$(sed -n '/^result: /p' "$work/cut-watcher-d.out")
[ -n "$a" ] && [ "$a" = "$b" ] && [ "$a" = "$c" ] && [ "$a" = "$d" ] ||
  fail "result lines differ: '$a' / '$b' / '$c' / '$d'"
for side in maker joiner; do
  grep -q "the link is back" "$work/cut-$side.err" || fail "the $side did not say the link came back"
done
echo "ok: link cut for 20 s: $(grep -h "link is back" "$work"/cut-*.err | tr '\n' ' ')"
echo "ok: $a, watched direct and, from behind a symmetric NAT, through the relay"

# ends_alike CASE MAKER JOINER: both games end with status 0 and the same result line, which is
# left in $a.
ends_alike() {
  wait_gone "$joiner" 1200; local js=$st
  wait_gone "$maker" 300; local ms=$st
  [ "$ms" = 0 ] && [ "$js" = 0 ] || fail "$1: exit statuses $ms and $js"
  a=$(sed -n '/^result: /p' "$work/$2.out")
  local b
  b=$(sed -n '/^result: /p' "$work/$3.out")
  [ -n "$a" ] && [ "$a" = "$b" ] || fail "$1: result lines differ: '$a' / '$b'"
}

# Kills PID with SIGKILL once the probe counter in router ROUTER has seen 300 frames; sets killed_at.
kill_after_frames() { # ROUTER PID
  local sent=0
  for _ in $(seq 1 600); do
    sent=$(ip netns exec "$tag-$1" nft list chain ip probe keys | sed -n 's/.*counter packets \([0-9]*\).*/\1/p')
    [ "${sent:-0}" -ge 300 ] && break
    sleep 0.02
  done
  [ "${sent:-0}" -ge 300 ] || return 1
  kill -9 "$2"
  wait "$2" 2>/dev/null
  killed_at=$(date +%s)
}

joiner_in() { # NAME [OPTION...]
  local name=$1
  shift
  (machine run-b && cd "$build/assets" &&
    exec ip netns exec "$tag-b" "$sim" --online "$code" --server 203.0.113.10 --computer 2 "$@") \
    >"$work/$name.out" 2>"$work/$name.err" &
  joiner=$!
  pids+=($joiner)
}

# The cut in the match's last frames. The match is the same every time (same seed and levels)
# and the maker wins it with its own shot: its last frames need nothing from the joiner, so it
# plays them to the end while the joiner still lacks them. A calm match counts the maker's
# datagrams to the joiner (48 bytes or more: its messages); the same match is then cut for
# 20 s, either way, from the one 30 before its last.
make_room calm a
ip netns exec "$tag-rb" nft -f - <<'NFT' || fail "nftables refused the count"
table ip calm {
  chain keys { type filter hook forward priority -20; policy accept; oifname "lan" ip length >= 48 counter; }
}
NFT
joiner_in calm-joiner
wait_gone "$joiner" 300
wait_gone "$maker" 300
total=$(ip netns exec "$tag-rb" nft list chain ip calm keys | sed -n 's/.*counter packets \([0-9]*\).*/\1/p')
ip netns exec "$tag-rb" nft delete table ip calm
[ "${total:-0}" -gt 100 ] || fail "the calm match sent ${total:-no} datagrams to the joiner"
make_room end a
ip netns exec "$tag-rb" nft -f - <<NFT || fail "nftables refused the cut at the end"
table ip cut {
  set gone { type ipv4_addr; flags dynamic; }
  chain end {
    type filter hook forward priority -10; policy accept;
    ip daddr @gone drop
    ip saddr @gone drop
    oifname "lan" ip length >= 48 numgen inc mod 1000000 >= $((total - 30)) add @gone { ip daddr } drop
  }
}
NFT
joiner_in end-joiner
for _ in $(seq 1 300); do
  ip netns exec "$tag-rb" nft list set ip cut gone | grep -q "elements" && break
  sleep 0.05
done
cut_at=$(date +%s)
for side in maker joiner; do
  wait_for "the link dropped; waiting up to 90 s" "$work/end-$side.err" 300 || fail "at the end: the $side did not say it waits"
done
while [ $(( $(date +%s) - cut_at )) -lt 20 ]; do sleep 0.2; done
ip netns exec "$tag-rb" nft delete table ip cut
ends_alike "after a cut at the end" end-maker end-joiner
echo "ok: link cut for 20 s in the match's last frames: $a"

make_room new a
# The kill comes once the joiner has sent 300 of its frames (datagrams of 48 bytes or more from
# its home; acknowledgements and pings are shorter), so the new game has frames of its own seat
# to catch up on.
ip netns exec "$tag-rb" nft -f - <<'NFT' || fail "nftables refused the probe"
table ip probe {
  chain keys { type filter hook forward priority -20; policy accept; iifname "lan" ip length >= 48 counter; }
}
NFT
# The killed joiner plays another level than the new game: the frames it played must come from
# the stream, not be played again by the new game.
joiner_in new-joiner --level easy
kill_after_frames rb "$joiner" || fail "the joiner did not send its frames"
# Started again on the same machine at once, the new game asks for the dead game's seat by its
# session, and takes it before the maker has seen the old link drop.
joiner_in new-game
ends_alike "after a new game" new-maker new-game
grep -q "in a new game: caught up [1-9][0-9]* frames, plays player 2" "$work/new-game.err" ||
  fail "the new game did not catch up"
grep -q "joiner back from" "$work/server.out" || fail "the new game did not ask for its old seat"
grep -q "the other player is back in a new game" "$work/new-maker.err" || fail "the maker did not say who came back"
echo "ok: a new game in the killed joiner's seat, started at once: $a"

# The maker killed once it has sent the joiner 300 of its frames; it plays another level than its
# new game, so the frames it played must come from the joiner's stream.
make_room back a --level easy
ip netns exec "$tag-ra" nft -f - <<'NFT' || fail "nftables refused the probe"
table ip probe {
  chain keys {
    type filter hook forward priority -20; policy accept;
    iifname "lan" ip daddr 203.0.113.2 ip length >= 48 counter
  }
}
NFT
joiner_in back-joiner
wait_for "match begins" "$work/back-joiner.err" 200 || fail "back: the match did not begin"
# The simulators play a match in a few seconds: the match stands, its joiner stopped, while the
# third machine comes to watch it.
kill -STOP "$joiner"
(cd "$build/assets" && exec ip netns exec "$tag-c" "$sim" --online "$code" --server 203.0.113.10) \
  >"$work/back-watcher.out" 2>"$work/back-watcher.err" &
watcher=$!
pids+=($watcher)
wait_for "watching room $code" "$work/back-watcher.err" 200; watching=$?
kill -CONT "$joiner"
[ "$watching" = 0 ] || fail "back: the third machine does not watch"
kill_after_frames ra "$maker" || fail "back: the maker did not send its frames"
wait_for "the link dropped" "$work/back-joiner.err" 300 || fail "back: the joiner did not say it waits"
wait_gone "$watcher" 300
[ "$st" = 3 ] && grep -q "The link to the room maker's game is lost: watching ends here" "$work/back-watcher.err" ||
  fail "back: the watcher did not end saying why (status $st)"
# From another machine nothing names the seat: the server hands it on once its player has been
# silent 15 s.
while [ $(( $(date +%s) - killed_at )) -lt 16 ]; do sleep 0.2; done
(machine run-a2 && cd "$build/assets" &&
  exec ip netns exec "$tag-a" "$sim" --online "$code" --server 203.0.113.10 --computer 2) \
  >"$work/back-game.out" 2>"$work/back-game.err" &
maker=$!
pids+=($maker)
ends_alike "after the maker's new game" back-game back-joiner
grep -q "in a new game: caught up [1-9][0-9]* frames, plays player 1" "$work/back-game.err" ||
  fail "the maker's new game did not catch up"
grep -q "the other player is back in a new game" "$work/back-joiner.err" || fail "the joiner did not say the maker is back"
# The new game sends only what the stream lacked: the joiner took nothing out of place.
grep -q "; 0 bad packets" "$work/back-joiner.err" || fail "the joiner took bad packets from the maker's new game"
echo "ok: a new game in the killed maker's seat: $a"

kill -USR1 "${pids[0]}"
wait_for "^stats" "$work/server.out" 100
stats=$(grep "^stats" "$work/server.out" | tail -n 1)
grep -q " rejoins=4 spectators=3 relayed_spectators=1 " <<<"$stats" ||
  fail "the server did not count four rejoins and three spectators, one relayed: $stats"
echo "PASS"
