#!/bin/bash
# Starts the program against the simulated network's default scenario (host, adapter 1 with
# trackers 2 and 3), opens the device-tree panel and the tasks menu of tracker 2 with xdotool,
# and checks in screenshots that the nodes are drawn where the radial layout puts them: the
# adapter 72 px below the host at the panel centre, the trackers 72 px left and right of it.
# Then the camera button must save a PNG into the data folder's Screenshots folder. Runs at
# 1600x1000 and at 800x600; the screenshots stay beside the test programs.
#
# usage: main_window_screenshot_test.sh PROGRAM SCREENSHOT_FOLDER
set -u
source "$(dirname "$0")/program_window.sh"
program=$1
shots=$2
mkdir -p "$shots"

# Colour of the screen pixel (x, y) of the last screenshot as "r,g,b".
pixel() {
  convert "$shot" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
# Indigo 500 (63,81,181), the accent of the node discs, within a small tolerance.
is_accent() {
  local r g b
  IFS=, read -r r g b <<<"$(pixel "$1" "$2")"
  [ $((r > 53 && r < 73 && g > 71 && g < 91 && b > 171 && b < 191)) = 1 ]
}

run_at() {
  local width=$1 height=$2
  rm -rf "$work/config" "$work/data"
  mkdir -p "$work/data"
  launch -u KESTREL_SIMULATION OrbDebugDataPath="$work/data/"
  xdotool windowmove "$window" 0 0
  xdotool windowsize "$window" "$width" "$height"
  sized() { read_geometry; [ "$WIDTH" = "$width" ] && [ "$HEIGHT" = "$height" ]; }
  wait_until 10 sized
  sleep 2   # the tree's first polls of the network
  [ "$WIDTH" = "$width" ] && [ "$HEIGHT" = "$height" ] || fail "window is ${WIDTH}x${HEIGHT}, not ${width}x${height}"

  # The tree button is the second of the side panel (48 px buttons at the right edge).
  xdotool mousemove $((X + WIDTH - 24)) $((Y + 72)) click 1
  # The panel takes the right half of the window above the 48 px bottom row.
  local cx=$((X + WIDTH * 3 / 4)) cy=$((Y + (HEIGHT - 48) / 2))
  # Each disc is 48 px wide; 16 px below its centre is disc, clear of its label. The panel
  # slides in and the tree polls the network: on a loaded machine that takes a while.
  local nodes=("host 0 0" "adapter 0 72" "tracker2 -72 72" "tracker3 72 72")
  tree_drawn() {
    grab "$shots/main_window_tree_${width}x${height}.png"
    local node
    for node in "${nodes[@]}"; do
      set -- $node
      is_accent $((cx + $2)) $((cy + $3 + 16)) || return 1
    done
  }
  if ! wait_until 20 tree_drawn; then
    for node in "${nodes[@]}"; do
      set -- $node
      is_accent $((cx + $2)) $((cy + $3 + 16)) || fail "$1 not drawn at ($2, $3) from the tree centre in ${width}x${height}: $(pixel $((cx + $2)) $((cy + $3 + 16)))"
    done
  fi
  # Between the host and the trackers there is no disc.
  is_accent $((cx - 72)) $((cy + 16)) && fail "a disc where none belongs in ${width}x${height}"

  # Tracker 2's tasks menu opens at the pointer and lists the five viewers.
  local before
  before=$(pixel $((cx - 72 + 60)) $((cy + 72 + 40)))
  xdotool mousemove $((cx - 72)) $((cy + 72)) click 1
  wait_until 10 white_at $((cx - 72 + 60)) $((cy + 72 + 40))
  sleep 0.5   # the menu's opening transition
  grab "$shots/main_window_menu_${width}x${height}.png"
  [ "$(pixel $((cx - 72 + 60)) $((cy + 72 + 40)))" = "255,255,255" ] || fail "no tasks menu in ${width}x${height} (was $before)"
  local menuHeight
  menuHeight=$(convert "$shot" -crop 1x400+$((cx - 72 + 8))+$((cy + 72)) +repage -fill black +opaque white -format "%[fx:mean*400]" info:)
  # Four items of 48 px and the padding make a white column of about 200 px.
  [ "$(printf '%.0f' "$menuHeight")" -ge 180 ] || fail "tasks menu too short for five viewers: $menuHeight px"

  # The camera button of the bottom row saves the window into the data folder's Screenshots.
  xdotool key Escape
  sleep 0.5
  xdotool mousemove $((X + 24)) $((Y + HEIGHT - 24)) click 1
  local saved=
  for attempt in $(seq 1 20); do
    saved=$(find "$work/data/Screenshots" -name '*.png' -size +1k 2>/dev/null | head -n 1)
    [ -n "$saved" ] && break
    sleep 0.25
  done
  [ -n "$saved" ] || fail "the camera button saved no screenshot into the data folder"
  [[ "$(basename "$saved")" =~ ^[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{3}\.png$ ]] ||
    fail "screenshot name $(basename "$saved") is not MM_dd_hh_mm_ss_zzz.png"

  stop_program
  echo "layout checked at ${width}x${height}: screenshots in $shots"
}

run_at 1600 1000
run_at 800 600
fail_on_qml_errors
echo "main window screenshots: 2 passed, 0 failed"
