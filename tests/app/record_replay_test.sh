#!/bin/bash
# The record button end to end: the program runs the MidSpace viewer on tracker 2 of a
# simulated network, the record button (third of the bottom row) records for about three
# seconds, and the file in the data folder's Recordings folder is then played back by a
# scenario tracker in a second run of the program, whose MidSpace viewer must start on it and
# receive its packets. Screenshots of both runs stay in SCREENSHOT_FOLDER.
#
# usage: record_replay_test.sh PROGRAM SCREENSHOT_FOLDER
set -u
source "$(dirname "$0")/program_window.sh"
program=$1
shots=$2
mkdir -p "$shots"

# Starts the program with the scenario $1 and the MidSpace viewer started automatically on the
# first tracker; sets X Y WIDTH HEIGHT of its window.
start() {
  mkdir -p "$work/config/Kestrel" "$work/data"
  printf '[General]\nautoRunViewerName=TaskViewer_OrbTracking_MidSpace.qml\nwidth=1200\nheight=800\n' \
    >"$work/config/Kestrel/OrbDebug.conf"
  launch KESTREL_SIMULATION="$1" OrbDebugDataPath="$work/data/"
  xdotool windowmove "$window" 0 0
  sleep 2
  read_geometry
}

cat >"$work/live.json" <<'JSON'
{"clock": "realtime", "seed": 3, "devices": [{"handle": 1, "kind": "adapter"},
  {"handle": 2, "parent": 1, "kind": "tracker", "trajectory": {"kind": "static", "centre": [0.1, 0.6, 0.05]}}]}
JSON
start "$work/live.json"
record=$((X + 48 * 2 + 24))
bottom=$((Y + HEIGHT - 24))
xdotool mousemove "$record" "$bottom" click 1
sleep 3
grab "$shots/record_while_recording.png"
xdotool mousemove "$record" "$bottom" click 1
sleep 1
grab "$shots/record_after.png"
stop_program

files=("$work"/data/Recordings/*_node2_tracking.orbrec)
[ ${#files[@]} = 1 ] && [ -f "${files[0]}" ] || fail "no recording of node 2 in the Recordings folder: $(ls -R "$work/data")"
size=$(stat -c %s "${files[0]}")
# About 2.5 s of 4000 inertial packets per second, 20 bytes each as records, and the header.
[ "$size" -gt 150000 ] || fail "the recording has only $size bytes"
[ "$(head -c 8 "${files[0]}" | od -An -tx1 | tr -d ' \n')" = "4f52425245430d0a" ] || fail "no recording magic"
echo "recorded ${files[0]##*/}: $size bytes"

cat >"$work/replay.json" <<JSON
{"clock": "realtime", "devices": [{"handle": 1, "kind": "adapter"},
  {"handle": 2, "parent": 1, "kind": "tracker", "replay": "data/Recordings/${files[0]##*/}", "loop": true}]}
JSON
start "$work/replay.json"
sleep 3
grab "$shots/replay.png"
grep -q "invalid scenario" "$work/program.log" && fail "the replay scenario was refused"
# The MidSpace task answers every frame start with the exposure; the replaying tracker logs
# that it took them, so the recorded frames reached the viewer's task.
grep -q "Replay on node 2: host packet 9 (4 bytes) accepted, not acted on" "$work/program.log" ||
  fail "the replayed frames did not reach the MidSpace task"
# The recording began while the task ran; its replay must not drop a frame as invalid.
grep -q "Invalid stream sequence" "$work/program.log" && fail "replayed frames were dropped as invalid"
grep -m 1 "Replay on node 2: the recording" "$work/program.log"
stop_program
fail_on_qml_errors
echo "record and replay: screenshots in $shots"
