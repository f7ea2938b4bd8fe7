# Sourced by the scripted tests of the real binary (not a test itself: it lies outside the folders
# whose scripts ctest runs). Sourcing it defines fail() and, on exit, kills the programs in
# $helpers (started beside the game, they would never end by themselves), the game ($game) and
# Xvfb ($xvfb), then runs the script's own on_exit if it defines one.

xvfb="" game="" helpers=""
fail() {
  echo "FAIL: $*"
  exit 1
}
xvfb_cleanup() {
  for p in $helpers; do kill -9 "$p" 2>/dev/null; done
  [ -n "$game" ] && kill "$game" 2>/dev/null && kill -CONT "$game" 2>/dev/null # a stopped game would never end
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  if declare -F on_exit >/dev/null; then on_exit; fi
}
trap xvfb_cleanup EXIT

# xvfb_start WIDTHxHEIGHT: Xvfb on a display it picks itself and names once it listens (no race with
# other servers); its pid in $xvfb, DISPLAY and SDL_AUDIODRIVER=dummy exported. 1 if it did not start.
xvfb_start() {
  local dispfile
  dispfile=$(mktemp)
  exec 3>"$dispfile"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  exec 3>&-
  for _ in $(seq 300); do [ -s "$dispfile" ] && break; sleep 0.1; done
  if [ ! -s "$dispfile" ]; then
    rm -f "$dispfile"
    return 1
  fi
  export DISPLAY=":$(cat "$dispfile")" SDL_AUDIODRIVER=dummy
  rm -f "$dispfile"
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
}

# xvfb_game_window TENTHS LOG [WHAT]: waits up to TENTHS tenths of a second for the window of $game
# and puts its id in $win; fails when the game exits first (quoting LOG) or no window comes.
xvfb_game_window() {
  local what=${3:-the game}
  win=""
  for _ in $(seq "$1"); do
    win=$(xdotool search --name '^Quorvane$' 2>/dev/null | head -n1)
    [ -n "$win" ] && return 0
    kill -0 "$game" 2>/dev/null || fail "$what exited at start: $(cat "$2")"
    sleep 0.1
  done
  fail "$what showed no Quorvane window within $(($1 / 10)) s"
}

# xvfb_game_exit SECONDS: waits that long for $game to exit, fails if it does not; its exit code
# in $rc.
xvfb_game_exit() {
  for _ in $(seq $(($1 * 10))); do
    kill -0 "$game" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$game" 2>/dev/null && fail "the game did not exit within $1 s"
  wait "$game"
  rc=$?
  game=""
}

# xvfb_free_port: a UDP port on loopback that was free a moment ago.
xvfb_free_port() {
  python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# xvfb_need TOOL...: fails unless every tool is installed.
xvfb_need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is missing (./tools/install-deps.sh installs it)"
  done
}

# xvfb_artifacts BUILD NAME: an empty folder BUILD/e2e-artifacts/NAME for screenshots and logs, in $art.
xvfb_artifacts() {
  art="$1/e2e-artifacts/$2"
  mkdir -p "$art"
  rm -rf "${art:?}"/*
}

# xvfb_poll TENTHS COMMAND...: runs COMMAND every tenth of a second until it succeeds; 1 if it never
# did. Fails at once when the game ($game, if any) has exited meanwhile.
xvfb_poll() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    [ -z "$game" ] || kill -0 "$game" 2>/dev/null || fail "the game exited: $(cat "${game_log:-/dev/null}")"
    sleep 0.1
  done
  return 1
}

# xvfb_title_menu FILE: shoots the window $win into FILE; 0 when it shows the red title menu at 1x.
xvfb_title_menu() {
  import -window "$win" "$1" 2>/dev/null &&
    [ "$(convert "$1" -crop 130x175+262+300 +repage -fx "r>0.8&&g<0.3&&b<0.3" -format "%[fx:mean*w*h]" info: |
      cut -d. -f1)" -gt 200 ]
}
