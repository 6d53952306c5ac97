#!/usr/bin/env bash
# Verifies still capture on two Xinerama heads side by side (a nested Xephyr): each head gets a selection overlay, an area dragged across both is cut to the head that holds its centre (the log keeps the dragged rectangle, the file has exactly that head's part of it), and a screen capture takes the head under the pointer.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)  # absolute: openbox reads its configuration later
source "$here/lib.sh"
source "$here/two_heads.lib.sh"
source "$here/capture.lib.sh"

command -v Xephyr >/dev/null || fail "'Xephyr' is not installed (run scripts/install-deps.sh)"

# The heads in root coordinates, as Xephyr lays them out: 1280x800 at the
# origin (the primary) and 1024x768 to its right; points count y up from the
# primary head's bottom edge.
PRIMARY_H=800

start_two_heads

# Something to see on both heads: a window across the seam.
start_window "#30a050" "Seam probe" 600x400+1000+200

# The editor would cover what the shots are compared with.
write_settings '{"vistrel.capture.show": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"

# across <what> <x0> <y0> <x1> <y1> <cut WxH+X+Y>: a drag from (x0, y0) to
# (x1, y1) in root pixels; the log names the whole rectangle, the file holds
# the part on the head under its centre, as the screen shows it.
across() {
  local what=$1 x0=$2 y0=$3 x1=$4 y1=$5 cut=$6 offset w h
  rm -f "$SHOTS"/*
  xdotool mousemove "$x0" "$y0"
  offset=$(log_offset)
  start_selection 2 "$what" hand_over capture.area
  xdotool mousedown 1 mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove "$x1" "$y1" mouseup 1
  wait_capture "$offset" "$what"
  w=$((x1 - x0)) h=$((y1 - y0))
  expect_line "$what" "capture-done mode=area rect=\($x0,$((PRIMARY_H - y1)) ${w}x$h\) out=${cut%%+*} "
  wait_shot "$what" png PNG
  wait_for 10 "$what: the overlays to go" overlays_gone
  import -window root -crop "$cut" +repage "$HARNESS_DIR/root-crop.png"
  same_pixels "$what: the file against import" "$SHOT" "$HARNESS_DIR/root-crop.png"
  echo "ok $what: ${w}x$h+$x0+$y0 gives $cut"
}

# The centre (1250, 400) is on the left head: its part is 280 wide.
across "centre on the left head" 1000 300 1500 500 280x200+1000+300
# The centre (1300, 695) is on the right head, whose bottom edge (768) also
# cuts the rectangle.
across "centre on the right head" 1100 600 1500 790 220x168+1280+600

# A screen capture takes the head under the pointer (the pointer, drawn into
# ours only, is blanked in both images).
rm -f "$SHOTS"/*
xdotool mousemove 2200 700
offset=$(log_offset)
hand_over capture.screen
wait_capture "$offset" "screen on the right head"
expect_line "screen on the right head" 'capture-done mode=screen display=under-mouse out=1024x768 pxScale=1\.000x1\.000 stamp=L40$'
wait_shot "screen on the right head" png PNG
import -window root -crop 1024x768+1280+0 +repage "$HARNESS_DIR/root-crop.png"
blank_box "$SHOT" "$HARNESS_DIR/shot-blanked.png" 920 700 40
blank_box "$HARNESS_DIR/root-crop.png" "$HARNESS_DIR/root-blanked.png" 920 700 40
same_pixels "screen on the right head: the file against import" "$HARNESS_DIR/shot-blanked.png" "$HARNESS_DIR/root-blanked.png"
echo "ok screen on the right head: 1024x768"

stop_vistrel
echo "capture on two heads: all passed"
