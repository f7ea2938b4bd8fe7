#!/usr/bin/env bash
# The real binary in a real X window (Xvfb, no GPU): start to first frame, CPU on the title menu
# and on the play screen, peak resident memory, presents, quit time after SIGTERM.
# Usage: tools/measure-desktop.sh BUILD_DIR [WIDTHxHEIGHT] [wm | starts N]
# With "wm" openbox manages the window. With "starts N" only the start is measured, N times in
# one Xvfb, and the medians printed. Extra environment (SDL_RENDER_DRIVER ...) passes through.
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
hz=$(getconf CLK_TCK)

# Start to first frame: wall from just before exec, the process's CPU and its main thread's.
first_frame() { # prints "wall_ms cpu_ms main_ms"
  local t0 wall
  t0=$(date +%s%N)
  (cd "$build/assets" && QUORVANE_REPORT_FIRST_FRAME=1 exec "$bin") 2>"$log" &
  local pid=$!
  for _ in $(seq 1000); do grep -q "first frame" "$log" && break; sleep 0.01; done
  wall=$(sed -n 's/.*first frame at .* ns (wall \([0-9]*\) ns).*/\1/p' "$log" | head -n1)
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  echo "$(( (wall - t0) / 1000000 )) $(sed -n 's/.*, \([0-9.]*\) ms of CPU (main thread \([0-9.]*\) ms).*/\1 \2/p' "$log")"
}
if [ "$wm" = starts ]; then
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  for _ in $(seq "$starts"); do first_frame; sleep 0.3; done | sort -n | awk '
    { w[NR] = $1; c[NR] = $2; m[NR] = $3; print "  start: " $1 " ms wall, " $2 " ms CPU, main thread " $3 " ms" }
    function med(a, n,   i, j, t) { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
    END { n = NR; printf "medians of %d: %s ms wall, %s ms CPU, main thread %s ms\n", n, med(w, n), med(c, n), med(m, n) }'
  echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit 0
fi
# Whole process, and its main thread alone (the rest is the audio thread's mixing and synth).
cpu_ticks() { awk '{ print $14 + $15 }' "$1"; }
cpu_percent() { # pid seconds
  local a b ma mb
  a=$(cpu_ticks "/proc/$1/stat")
  ma=$(cpu_ticks "/proc/$1/task/$1/stat")
  sleep "$2"
  b=$(cpu_ticks "/proc/$1/stat")
  mb=$(cpu_ticks "/proc/$1/task/$1/stat")
  awk -v a="$a" -v b="$b" -v ma="$ma" -v mb="$mb" -v s="$2" -v hz="$hz" \
    'BEGIN { printf "%.1f (main thread %.1f)", (b - a) * 100 / hz / s, (mb - ma) * 100 / hz / s }'
}

t0=$(date +%s%N)
(cd "$build/assets" && QUORVANE_REPORT_FIRST_FRAME=1 QUORVANE_REPORT_PRESENTS=1 exec "$bin") \
  2>"$log" &
game=$!
pids+=($game)
seen=""
for _ in $(seq 1000); do
  grep -q "first frame" "$log" && { seen=$(date +%s%N); break; }
  sleep 0.01
done
wall=$(sed -n 's/.*first frame at .* ns (wall \([0-9]*\) ns).*/\1/p' "$log" | head -n1)
wall=${wall:-$seen} # builds that report only the monotonic time: when the line was seen
[ -n "$wall" ] && echo "start to first frame: $(( (wall - t0) / 1000000 )) ms" \
  "($(sed -n 's/.*, \([0-9.]*\) ms of CPU.*/\1/p' "$log" | head -n1) ms of CPU)"
sleep 2
echo "CPU on the title menu over 10 s: $(cpu_percent $game 10) % of a core"
win=$(xdotool search --name '^Quorvane$' | head -n1)
echo "window: $(xwininfo -id "$win" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h "+" x "+" y }')"
xdotool key --window "$win" Return
sleep 2
echo "CPU on the play screen over 10 s: $(cpu_percent $game 10) % of a core"
echo "peak resident: $(awk '/VmHWM/ { printf "%.1f MiB", $2 / 1024 }' /proc/$game/status)"
t1=$(date +%s%N)
kill -TERM $game
wait $game
rc=$?
t2=$(date +%s%N)
echo "SIGTERM to exit: $(( (t2 - t1) / 1000000 )) ms (exit $rc)"
grep "quorvane: presents" "$log"
rm -f "$log"
