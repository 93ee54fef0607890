#!/bin/bash
# A recording studied in the program's window, with no device-network library beside the
# program: the open button's dialog opens a recording of the simulator from the data folder's
# Recordings, its node offers Tracking Debug, the transport plays, pauses (the page then holds
# still), steps three frames, goes one frame back, and closes the recording. Screenshots of
# each state stay in SCREENSHOT_FOLDER.
#
# usage: replay_window_test.sh PROGRAM ORBTOOL SCREENSHOT_FOLDER
set -u
source "$(dirname "$0")/program_window.sh"
orbtool=$2
shots=$3
mkdir -p "$shots" "$work/bin" "$work/data/Recordings" "$work/config/Kestrel" "$work/storage"

# The program alone in its folder with the storage library: no KestrelDeviceNetwork to load.
cp "$1" "$work/bin/OrbDebug"
cp "$(dirname "$1")/libKestrelStorageClient.so" "$work/bin/"
program=$work/bin/OrbDebug

cat >"$work/scenario.json" <<'JSON'
{"clock": "fast", "seed": 4, "devices": [{"handle": 1, "kind": "adapter"},
  {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "circle", "centre": [0, 0.6, 0], "radius": 0.3, "period": 8}}]}
JSON
KESTREL_SIMULATION="$work/scenario.json" "$orbtool" record --node 2 --task tracking --seconds 3 \
  --out "$work/data/Recordings/desk.orbrec" >/dev/null || fail "orbtool record failed"
export XDG_DATA_HOME="$work/storage"
"$orbtool" storage write environment default "$("$orbtool" env default)" 2>/dev/null &&
  "$orbtool" storage write placement default "$("$orbtool" placement encode --position 0,0,0 --angles 0,0,0)" 2>/dev/null ||
  fail "cannot write the storage"

printf '[General]\nwidth=1400\nheight=900\ntrackingDebugSectionID=0\n' >"$work/config/Kestrel/OrbDebug.conf"
launch OrbDebugDataPath="$work/data/"
xdotool windowmove "$window" 0 0
sleep 2
read_geometry
row=$((Y + HEIGHT - 48 - 20))  # the transport row, above the bottom row
# The recorded node, below the recording's root under the host (a 1400 by 900 window).
REPLAY_NODE_X=1049
REPLAY_NODE_Y=549
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.7}"; }

click $((X + 48 * 3 + 24)) $((Y + HEIGHT - 24)) 1
grab "$shots/replay_1_dialog.png"
xdotool mousemove $((X + 439)) $((Y + 309)) click --repeat 2 --delay 80 1
wait_until 20 logged "Replay of .*desk.orbrec opened" || fail "the recording was not opened"
# The tree panel, with the recorded node's disc drawn (indigo 16 px below its centre); a click
# that came while the dialog was still closing is given again.
recorded_node_drawn() {
  local r g b
  IFS=, read -r r g b <<<"$(probe_pixel $((X + REPLAY_NODE_X)) $((Y + REPLAY_NODE_Y + 16)))"
  [ $((r > 53 && r < 73 && g > 71 && g < 91 && b > 171 && b < 191)) = 1 ]
}
open_tree() { click $((X + WIDTH - 24)) $((Y + 71)); wait_until 5 recorded_node_drawn; }
wait_until 30 open_tree || fail "the tree panel shows no recorded node"
grab "$shots/replay_2_tree.png"
# The tasks menu of the recorded node opens at the pointer, its first item "Tracking Debug"
# (white right of the item's text).
click $((X + REPLAY_NODE_X)) $((Y + REPLAY_NODE_Y))
wait_until 20 white_at $((X + REPLAY_NODE_X + 150)) $((Y + REPLAY_NODE_Y + 32)) || fail "no tasks menu on the recorded node"
click $((X + REPLAY_NODE_X + 70)) $((Y + REPLAY_NODE_Y + 32))   # "Tracking Debug"
wait_until 30 logged "after component.createObject" || fail "no viewer was created"
click $((X + WIDTH / 2 - 24)) $((Y + 71))   # the tree panel closes (its button moved left with it)
click $((X + 330)) "$row" 1.5   # play
click $((X + 330)) "$row" 1     # pause
wait_until 20 logged "host packet 9 \(4 bytes\) accepted" || fail "no frame reached the tracking task"
# Paused, the page holds still: two grabs a second apart are the same (a page that has not
# yet drawn the last frame it was sent may change once, within the wait).
paused_still() {
  grab "$shots/replay_3_paused.png"
  cp "$shot" "$work/paused_a.png"
  sleep 1
  grab "$shots/replay_3_paused_later.png"
  differing=$(compare -metric AE "$work/paused_a.png" "$shot" /dev/null 2>&1)
  [ "$differing" = 0 ]
}
wait_until 10 paused_still || fail "the paused page keeps changing ($differing pixels)"
for step in 1 2 3; do click $((X + 372)) "$row" 0.5; done
sleep 1
grab "$shots/replay_4_stepped.png"
click $((X + 288)) "$row" 2     # one frame back
grab "$shots/replay_5_back.png"
logged "Replay of .*desk.orbrec closed" && fail "closed too early"
click $((X + 23)) "$row"        # close the recording
wait_until 20 logged "Replay of .*desk.orbrec closed" || fail "the recording was not closed"
grab "$shots/replay_6_closed.png"
fail_on_qml_errors
echo "replay window test: screenshots in $shots"
