#!/usr/bin/env bash
# Verifies "Show clicks": in an area recording with the setting on, a left click (xdotool, through XTest) leaves an amber ring at its point in the frames after it, and a right click a blue one at its point; with the setting off (the default), no frame has either.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in ffprobe ffmpeg; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done
# Outside the test: CLICK_FRAME names a file for the frame with the most of the left click's ring.

record_lines() { log_since "$1" | grep 'record ' || true; }
# wait_record_line <offset> <kind>: waits for a "record <kind>" line since the offset.
wait_record_line() {
  # shellcheck disable=SC2317 # called through wait_for
  logged() { record_lines "$1" | grep -q "record $2"; }
  wait_for 20 "the 'record $2' line" logged "$1" "$2"
}

# The area is (100,100) to (900,600) on the screen; the clicks at its pixels (200,150) and (600,300).
LEFT_X=300 LEFT_Y=250 RIGHT_X=700 RIGHT_Y=400
xsetroot -solid '#808080'

# record_clicks <name>: an area recording with a left and a right click in it, into $HARNESS_DIR/<name>.mp4.
record_clicks() {
  local offset
  offset=$(log_offset)
  start_vistrel
  wait_for_launch "$offset"
  xdotool mousemove 100 100
  offset=$(log_offset)
  start_selection 1 "$1: area recording" hand_over record.area
  xdotool mousedown 1 mousemove 500 400 mousemove 900 600 mouseup 1
  wait_record_line "$offset" start
  sleep 0.5 # the recording's content: a still screen, then the clicks a second apart
  xdotool mousemove $LEFT_X $LEFT_Y click 1
  sleep 1
  xdotool mousemove $RIGHT_X $RIGHT_Y click 3
  sleep 1
  hand_over record.stop
  wait_record_line "$offset" stop-ok
  stop_vistrel
  mv "$(find "$SHOTS" -name '*.mp4')" "$HARNESS_DIR/$1.mp4"
}

# ring_pixels <frame> <x> <y> <colour>: pixels near the colour within 40 pixels of the point.
ring_pixels() {
  convert "$1" -crop 80x80+$(($2 - 40))+$(($3 - 40)) +repage -fuzz 22% -fill black +opaque "$4" \
    -fill white -opaque "$4" -format '%[fx:round(mean*w*h)]' info:
}

# rings <name>: for each frame (20 a second), "<frame> <amber at the left click> <blue at the right click>".
rings() {
  local frame
  mkdir -p "$HARNESS_DIR/$1"
  ffmpeg -v error -i "$HARNESS_DIR/$1.mp4" -vf fps=20 "$HARNESS_DIR/$1/%03d.png"
  for frame in "$HARNESS_DIR/$1"/*.png; do
    echo "$frame $(ring_pixels "$frame" 200 150 '#ffbe00') $(ring_pixels "$frame" 600 300 '#1e90ff')"
  done
}

start=$(log_offset)
record_clicks off
write_settings '{"vistrel.recording.showClicks": true}'
record_clicks on
log_since "$start" | grep -q 'clicks-unavailable' && fail "the clicks could not be watched: $(log_since "$start" | grep clicks-unavailable)"

off=$(rings off)
on=$(rings on)
marked=$(awk '$2 >= 40 || $3 >= 40' <<<"$off")
[ -z "$marked" ] || fail "with Show clicks off, frames have rings: $marked"
amber=$(awk '$2 >= 40' <<<"$on" | wc -l)
blue=$(awk '$3 >= 40' <<<"$on" | wc -l)
# Half a second of ring is about ten frames here; at least a few must show it.
[ "$amber" -ge 4 ] || fail "the left click's amber ring is in $amber frames: $on"
[ "$blue" -ge 4 ] || fail "the right click's blue ring is in $blue frames: $on"
# Each ring is where its click was, and only there.
crossed=$(awk '$2 >= 40 && $3 >= 40' <<<"$on")
[ -z "$crossed" ] || fail "both rings in one frame, half a second apart at most: $crossed"
[ -z "$(awk 'NR == 1 && ($2 > 0 || $3 > 0)' <<<"$on")" ] || fail "a ring before any click: $(head -n 1 <<<"$on")"
best=$(sort -k2 -n -r <<<"$on" | head -n 1 | cut -d' ' -f1)
[ -z "${CLICK_FRAME:-}" ] || cp "$best" "$CLICK_FRAME"
echo "ok rings: the left click's in $amber frames, the right click's in $blue, none with the setting off"
echo "record_clicks: all passed"
