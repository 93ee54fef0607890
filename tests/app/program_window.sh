# Sourced by the window tests (bash), first thing, without arguments: without a display the
# test starts again under Xvfb; then a temporary work folder removed at exit, failing with the
# program's log, screenshots of the whole screen, and the program under test started with its
# settings in the work folder until its window shows. `launch` runs "$program".

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" bash "$0" "$@"
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

# Sets X, Y, WIDTH and HEIGHT of the program's window.
read_geometry() { eval "$(xdotool getwindowgeometry --shell "$window")"; }

stop_program() { kill "$pid"; wait "$pid" 2>/dev/null; pid=; }

# A component that failed to load is reported with line and column.
fail_on_qml_errors() {
  if grep -E "qrc:/[^ ]*\.qml:[0-9]+:[0-9]+:" "$work/program.log"; then
    fail "QML errors"
  fi
}
