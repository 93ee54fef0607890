#!/bin/bash
# Starts the real program with a temporary data folder, waits for its window, grabs the
# screen and checks that the window shows something: the capture has more than one colour
# inside the window's rectangle (an unrendered window is one flat colour).
#
# usage: window_screenshot_test.sh PROGRAM SCREENSHOT_PNG
set -u
source "$(dirname "$0")/program_window.sh"
program=$1
screenshot=$2

# No trailing slash: the screenshot folder is the sibling "dataScreenshots".
# Settings and storage of this run stay in the temporary folder.
launch OrbDebugDataPath="$work/data" XDG_DATA_HOME="$work/share"
read_geometry
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

fail_on_qml_errors
