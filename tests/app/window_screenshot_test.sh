#!/bin/bash
# Starts the real program with a temporary data folder, waits for its window, grabs the
# screen and checks that the window shows something: the capture has more than one colour
# inside the window's rectangle (an unrendered window is one flat colour).
#
# usage: window_screenshot_test.sh PROGRAM SCREENSHOT_PNG
set -u
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1000x24 -noreset" bash "$0" "$@"
fi
program=$1
screenshot=$2

fail() { echo "FAIL: $*"; [ -f "$work/program.log" ] && sed 's/^/program: /' "$work/program.log"; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# No trailing slash: the screenshot folder is the sibling "dataScreenshots".
# Settings and storage of this run stay in the temporary folder.
OrbDebugDataPath="$work/data" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/share" \
  "$program" >"$work/program.log" 2>&1 &
pid=$!

window=
for attempt in $(seq 1 120); do
  kill -0 "$pid" 2>/dev/null || fail "the program exited before showing a window"
  window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || fail "no visible window of the program within 60 s"
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $WINDOW at $X,$Y size ${WIDTH}x${HEIGHT}"
[ "$WIDTH" -gt 0 ] && [ "$HEIGHT" -gt 0 ] || fail "window has no size"

# The scene graph renders after the window maps: retry until the window shows content.
colours=0
for attempt in $(seq 1 30); do
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || fail "the program exited"
  import -window root "$screenshot" 2>/dev/null || continue
  colours=$(convert "$screenshot" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -format %k info: 2>/dev/null || echo 0)
  [ "$colours" -gt 1 ] && break
done

[ -s "$screenshot" ] || fail "empty screenshot $screenshot"
[ "$(identify -format %m "$screenshot")" = PNG ] || fail "$screenshot is not a PNG"
[ "$colours" -gt 1 ] || fail "the window shows a single colour"
echo "screenshot $screenshot: $(stat -c %s "$screenshot") bytes, $colours colours in the window"

# Start-up made and entered the data folder before anything else.
[ -d "$work/data" ] || fail "data folder not created"
[ -d "$work/dataScreenshots" ] || fail "screenshot folder not created"
[ "$(readlink "/proc/$pid/cwd")" = "$work/data" ] || fail "working directory is $(readlink "/proc/$pid/cwd")"

# A component that failed to load is reported with line and column.
if grep -E "qrc:/[^ ]*\.qml:[0-9]+:[0-9]+:" "$work/program.log"; then
  fail "QML errors while loading"
fi
