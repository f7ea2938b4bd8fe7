#!/usr/bin/env bash
# The real binary in a real X window (Xvfb, no GPU): start to first frame, CPU on the title menu
# and on the play screen, peak resident memory, presents, quit time after SIGTERM.
# Usage: tools/measure-desktop.sh BUILD_DIR [WIDTHxHEIGHT] [wm | starts N | title N]
# With "wm" openbox manages the window. With "starts N" only the start is measured, N times in
# one Xvfb, and the medians printed. With "title N" only the title menu's CPU is measured: N
# games, each from 3 s after its start in six windows of MEASURE_SECONDS (10), then the median,
# the range and the windows over 2 %. Extra environment (SDL_RENDER_DRIVER ...) passes through.
# Starts are timed twice: by the game's own report of its first present, and by
# quorvane_first_picture, which watches the screen as a player would. Nothing polls the game's
# log while it starts: forking a grep every 10 ms slowed the start it measured.
set -uo pipefail
build=$(cd "$1" && pwd)
size=${2:-1920x1080}
wm=${3:-}
starts=${4:-0}
bin=${QUORVANE_BINARY:-$build/quorvane} # another build of the game to compare
disp=""
for n in $(seq 121 160); do
  if [ ! -e /tmp/.X$n-lock ] && [ ! -e /tmp/.X11-unix/X$n ]; then disp=":$n"; break; fi
done
[ -n "$disp" ] || { echo "no free X display"; exit 1; }
Xvfb "$disp" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT
export DISPLAY=$disp SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
if [ "$wm" = wm ]; then
  openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

log=$(mktemp)

# Start to first frame: the game's report (wall from the watcher's fork, the process's CPU and its
# main thread's) and the first picture on the server. The watcher ends the game once it is seen.
# awk: the median of a[1..n], sorting a in place.
median_awk='function med(a, n,   i, j, t) { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
  return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }'
first_frame() { # prints "wall_ms cpu_ms main_ms seen_ms"
  local seen forked wall
  read -r seen forked < <(cd "$build/assets" && QUORVANE_REPORT_FIRST_FRAME=1 "$build/quorvane_first_picture" "$bin" 2>"$log")
  wall=$(sed -n 's/.*first frame at .* ns (wall \([0-9]*\) ns).*/\1/p' "$log" | head -n1)
  echo "$(( (${wall:-0} - ${forked:-0}) / 1000000 )) $(sed -n 's/.*, \([0-9.]*\) ms of CPU (main thread \([0-9.]*\) ms).*/\1 \2/p' "$log") ${seen:--1}"
}
if [ "$wm" = starts ]; then
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  for i in $(seq "$starts"); do echo "$i $(first_frame)"; sleep 0.3; done | awk "$median_awk"'
    { w[NR] = $2; c[NR] = $3; m[NR] = $4; s[NR] = $5
      print "  start " $1 ": first present " $2 " ms wall (" $3 " ms CPU, main thread " $4 " ms), on the server at " $5 " ms" }
    END { n = NR; printf "medians of %d: first present %s ms wall, %s ms CPU, main thread %s ms; on the server %s ms\n", n, med(w, n), med(c, n), med(m, n), med(s, n) }'
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi
# Whole process, and its main thread alone (the rest is the audio thread's mixing and synth), in
# nanoseconds on the CPU (schedstat) rather than 10 ms clock ticks.
cpu_ns() { # pid [main]: the threads' summed time on the CPU, or the main thread's
  if [ "${2:-}" = main ]; then awk '{ print $1 }' "/proc/$1/task/$1/schedstat"
  else cat /proc/"$1"/task/*/schedstat | awk '{ t += $1 } END { printf "%d", t }'; fi
}
cpu_percent() { # pid seconds
  local a b ma mb
  a=$(cpu_ns "$1")
  ma=$(cpu_ns "$1" main)
  sleep "$2"
  b=$(cpu_ns "$1")
  mb=$(cpu_ns "$1" main)
  awk -v a="$a" -v b="$b" -v ma="$ma" -v mb="$mb" -v s="$2" \
    'BEGIN { printf "%.2f (main thread %.2f)", (b - a) / 1e7 / s, (mb - ma) / 1e7 / s }'
}

if [ "$wm" = title ]; then
  secs=${MEASURE_SECONDS:-10}
  for _ in $(seq "$starts"); do
    (cd "$build/assets" && exec "$bin") 2>/dev/null &
    game=$!
    pids+=("$game")
    sleep 3
    line="total/main thread, % of a core:"
    for _ in 1 2 3 4 5 6; do line="$line $(cpu_percent "$game" "$secs" | tr -d '(),' | awk '{ print $1 "/" $4 }')"; done
    echo "$line" | tee -a "$log"
    kill "$game"
    wait "$game" 2>/dev/null
  done
  tr ' ' '\n' <"$log" | awk -F/ "$median_awk"'/^[0-9.]+\/[0-9.]+$/ { v[++n] = $1 + 0; m[n] = $2 + 0; over += $1 > 2.0 }
    END { mv = med(v, n); mm = med(m, n) # v is sorted from here on
      printf "%d windows: median %.2f %% (main thread %.2f %%), range %.2f-%.2f %%, over 2 %%: %d\n",
        n, mv, mm, v[1], v[n], over + 0 }'
  rm -f "$log"
  exit 0
fi
# The first start in this Xvfb, as the server shows it; then the run the rest is measured on.
read -r w c m seen <<<"$(first_frame)"
echo "first start in this X server: first present $w ms wall ($c ms of CPU), on the server at $seen ms"
sleep 0.5
t0=$(date +%s%N)
(cd "$build/assets" && QUORVANE_REPORT_FIRST_FRAME=1 QUORVANE_REPORT_PRESENTS=1 exec "$bin") \
  2>"$log" &
game=$!
pids+=($game)
sleep 1.5
for _ in $(seq 50); do grep -q "first frame" "$log" && break; sleep 0.2; done
wall=$(sed -n 's/.*first frame at .* ns (wall \([0-9]*\) ns).*/\1/p' "$log" | head -n1)
[ -n "$wall" ] && echo "second start: first present $(( (wall - t0) / 1000000 )) ms" \
  "($(sed -n 's/.*, \([0-9.]*\) ms of CPU.*/\1/p' "$log" | head -n1) ms of CPU)"
sleep 0.5
secs=${MEASURE_SECONDS:-10}
echo "CPU on the title menu over $secs s: $(cpu_percent $game "$secs") % of a core"
win=$(xdotool search --name '^Quorvane$' | head -n1)
echo "window: $(xwininfo -id "$win" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h "+" x "+" y }')"
xdotool key --window "$win" Return
sleep 2
echo "CPU on the play screen over $secs s: $(cpu_percent $game "$secs") % of a core"
echo "peak resident: $(awk '/VmHWM/ { printf "%.1f MiB", $2 / 1024 }' /proc/$game/status)"
t1=$(date +%s%N)
kill -TERM $game
wait $game
rc=$?
t2=$(date +%s%N)
echo "SIGTERM to exit: $(( (t2 - t1) / 1000000 )) ms (exit $rc)"
grep "quorvane: presents" "$log"
rm -f "$log"
