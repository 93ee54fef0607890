# Sourced by the window tests (bash), first thing, without arguments: the test starts again
# under an Xvfb server of its own; then a temporary work folder removed at exit, failing with
# the program's log, screenshots of the whole screen, and the program under test started with
# its settings in the work folder until its window shows. `launch` runs "$program".
#
# The tests move the pointer, click at screen positions and grab the whole screen, so two of
# them on one display (ctest -j under one xvfb-run) would click into each other's windows:
# each takes a server of its own, whatever DISPLAY says (xvfb-run -a takes the next free
# server number when another test's server starts at the same moment).
if [ -z "${ORB_WINDOW_TEST_DISPLAY:-}" ]; then
  ORB_WINDOW_TEST_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" bash "$0" "$@"
fi

work=$(mktemp -d)
pid=
window=
fail() { echo "FAIL: $*"; [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log"; exit 1; }
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Grabs the screen into $1, which becomes `shot`.
grab() {
  shot=$1
  import -window root "$shot" 2>/dev/null || fail "no screenshot"
}

# Starts the program with the environment changes given (as for env: NAME=VALUE, -u NAME), its
# settings in $work/config and its output in $work/program.log; waits up to 60 s for its
# window and sets `window`.
launch() {
  env "$@" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" "$program" >"$work/program.log" 2>&1 &
  pid=$!
  window=
  for attempt in $(seq 1 120); do
    kill -0 "$pid" 2>/dev/null || fail "the program exited before showing a window"
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || fail "no visible window of the program within 60 s"
}

# Runs the command given every 0.25 s until it succeeds, for at most $1 seconds; fails when
# it never does. A loaded machine (tests run side by side) may take seconds where an idle one
# takes a fraction of one.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.25
  done
}

# Whether the program's log has a line matching the extended regular expression $1.
logged() { grep -Eq "$1" "$work/program.log"; }

# Grabs the screen into $work/probe.png and prints the colour of its pixel ($1, $2) as "r,g,b".
probe_pixel() {
  import -window root "$work/probe.png" 2>/dev/null || return 1
  convert "$work/probe.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}

# Whether the screen's pixel ($1, $2) is white (an open menu there).
white_at() { [ "$(probe_pixel "$1" "$2")" = "255,255,255" ]; }

# Sets X, Y, WIDTH and HEIGHT of the program's window.
read_geometry() { eval "$(xdotool getwindowgeometry --shell "$window")"; }

stop_program() { kill "$pid"; wait "$pid" 2>/dev/null; pid=; }

# A component that failed to load is reported with line and column.
fail_on_qml_errors() {
  if grep -E "qrc:/[^ ]*\.qml:[0-9]+:[0-9]+:" "$work/program.log"; then
    fail "QML errors"
  fi
}
