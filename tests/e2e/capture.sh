#!/usr/bin/env bash
# Verifies still capture on a real desktop: the screen (from its shortcut and from --action) and dragged areas come out pixel for pixel as the screen shows them, in a Vistrel-<time>.png file and as image/png on the clipboard; Escape, a right-click and a 3x200 drag cancel without a trace and leave the next capture working; a picked window comes out alone with its title bar, also where another window covers it.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"

# Outside the test: AREA_OVERLAY_SCREENSHOT and WINDOW_OVERLAY_SCREENSHOT name
# files for pictures of the two selection overlays at work.

SCREEN_H=1080
RED=c03030 BLUE=3050c0

# A desktop with something on it: a background that is not black (so the
# overlays' dimming shows), an xterm, and a red window whose lower right part
# a blue one covers.
xsetroot -solid '#5a7896'
xterm -T "Capture xterm" -geometry 80x20+60+60 -e 'ls -l /; exec sleep 1000' 2>/dev/null &
XTERM_PID=$!
xterm_window() { [ -n "$(client_windows "$XTERM_PID")" ]; }
wait_for 10 "the xterm window" xterm_window
start_window "#$RED" "Red probe" 500x300+600+400
RED_WINDOW=$WINDOW
start_window "#$BLUE" "Blue probe" 400x300+900+550
BLUE_WINDOW=$WINDOW

# The editor would cover what the shots are compared with.
write_settings '{"vistrel.capture.show": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
log_since "$start" | grep -q hotkey-register-failed && fail "a shortcut could not be registered: $(log_since "$start" | grep hotkey-register-failed)"
BASE_WINDOWS=$(visible_windows)

# screen <what> <trigger command...>: a screen capture equals the screen as
# import sees it (the pointer, drawn into ours only, parked on the background
# and blanked in both), in the file and on the clipboard.
screen() {
  local what=$1 offset
  shift
  rm -f "$SHOTS"/*
  xdotool mousemove 1850 1000
  offset=$(log_offset)
  "$@" || fail "$what: '$*' failed"
  wait_capture "$offset" "$what"
  expect_line "$what" 'capture-done mode=screen display=under-mouse out=1920x1080 pxScale=1\.000x1\.000 stamp=L40$'
  wait_shot "$what" png PNG
  import -window root "$HARNESS_DIR/root.png"
  blank_box "$SHOT" "$HARNESS_DIR/shot-blanked.png" 1850 1000 40
  blank_box "$HARNESS_DIR/root.png" "$HARNESS_DIR/root-blanked.png" 1850 1000 40
  same_pixels "$what: the file against import" "$HARNESS_DIR/shot-blanked.png" "$HARNESS_DIR/root-blanked.png"
  check_clipboard "$what" "$SHOT" first pixels
  echo "ok $what: ${SHOT##*/}, equal to the screen and to the clipboard's PNG"
}
screen "screen from Super+Shift+1" xdotool key super+shift+1
screen "screen from --action" hand_over capture.screen

# area <what> <x0> <y0> <x1> <y1> <trigger command...>: a drag from (x0, y0)
# to (x1, y1) (root pixels) captures exactly the pixels under it; the log
# gives the rectangle in points, y up from the bottom of the screen.
area() {
  local what=$1 x0=$2 y0=$3 x1=$4 y1=$5 offset x y w h
  shift 5
  rm -f "$SHOTS"/*
  xdotool mousemove "$x0" "$y0"
  offset=$(log_offset)
  start_selection 1 "$what" "$@"
  xdotool mousedown 1 mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove "$x1" "$y1"
  if [ -n "${AREA_OVERLAY_SCREENSHOT:-}" ]; then
    sleep 0.3 # not part of the test: lets the overlay paint the selection
    import -window root "$AREA_OVERLAY_SCREENSHOT"
    AREA_OVERLAY_SCREENSHOT=
  fi
  xdotool mouseup 1
  wait_capture "$offset" "$what"
  x=$((x0 < x1 ? x0 : x1)) y=$((y0 < y1 ? y0 : y1)) w=$((x0 < x1 ? x1 - x0 : x0 - x1)) h=$((y0 < y1 ? y1 - y0 : y0 - y1))
  expect_line "$what" "capture-done mode=area rect=\($x,$((SCREEN_H - y - h)) ${w}x$h\) out=${w}x$h pxScale=1\.000x1\.000 stamp=L40$"
  wait_shot "$what" png PNG
  wait_for 10 "$what: the overlays to go" overlays_gone
  import -window root -crop "${w}x$h+$x+$y" +repage "$HARNESS_DIR/root-crop.png"
  same_pixels "$what: the file against import" "$SHOT" "$HARNESS_DIR/root-crop.png"
  echo "ok $what: ${w}x$h+$x+$y"
}

# cancelled <what> <offset>: the selection ended with no capture, no file and
# no window of ours left on the screen (an alert would be one). The capture
# that follows each cancel proves the engine is free again.
cancelled() {
  wait_for 10 "$1: the overlays to go" overlays_gone
  [ -z "$(capture_lines "$2")" ] || fail "$1: a capture was made: $(capture_lines "$2")"
  [ -z "$(shots)" ] || fail "$1: a file was written: $(shots)"
  [ "$(visible_windows)" = "$BASE_WINDOWS" ] || fail "$1: vistrel shows windows it did not show before: $(visible_windows | tr '\n' ' ')"
}

area "area from Super+Shift+2" 200 150 700 500 xdotool key super+shift+2

rm -f "$SHOTS"/*
offset=$(log_offset)
start_selection 1 "Escape" hand_over capture.area
xdotool mousemove 300 300 key Escape
cancelled "Escape" "$offset"
# Dragged up and to the left, across both test windows.
area "area after Escape, dragged backwards" 1300 900 820 480 hand_over capture.area
log_since "$offset" | grep -c 'capture-done ' | grep -qx 1 || fail "Escape: want one capture since, got: $(capture_lines "$offset")"
echo "ok Escape cancels and the next capture works"

rm -f "$SHOTS"/*
offset=$(log_offset)
start_selection 1 "right-click" hand_over capture.area
xdotool mousemove 400 400 click 3
cancelled "right-click" "$offset"
area "area after a right-click" 10 620 411 1071 hand_over capture.area
echo "ok a right-click cancels and the next capture works"

rm -f "$SHOTS"/*
offset=$(log_offset)
xdotool mousemove 300 300
start_selection 1 "3x200 drag" hand_over capture.area
xdotool mousedown 1 mousemove 302 400 mousemove 303 500 mouseup 1
cancelled "3x200 drag" "$offset"

# Window: pointed at where the red window shows, clicked. The result is its
# outer frame, title bar included; where the blue window covers it, it is red.
rm -f "$SHOTS"/*
read -r fx fy fw fh <<<"$(outer_frame "$RED_WINDOW")"
# A point of the red window's client area that the blue window covers.
read -r bx by _ _ <<<"$(outer_frame "$BLUE_WINDOW")"
covered_x=$((bx + 60 - fx)) covered_y=$((by + 80 - fy))
import -window root -crop "1x1+$((fx + covered_x))+$((fy + covered_y))" +repage "$HARNESS_DIR/covered.png"
colour=$(pixel_at "$HARNESS_DIR/covered.png" 0 0)
[ "${colour,,}" = "$BLUE" ] || fail "window: the screen at the probe point is #$colour, not the blue window covering the red one"
xdotool mousemove $((fx + 100)) $((fy + 80))
offset=$(log_offset)
start_selection 1 "window" xdotool key super+shift+w
if [ -n "${WINDOW_OVERLAY_SCREENSHOT:-}" ]; then
  sleep 0.3 # not part of the test: lets the overlay paint the highlight
  import -window root "$WINDOW_OVERLAY_SCREENSHOT"
fi
xdotool click 1
wait_capture "$offset" "window"
expect_line "window" "capture-done mode=window windowID=$((RED_WINDOW)) frame=\($fx,$((SCREEN_H - fy - fh)) ${fw}x$fh\) out=${fw}x$fh pxScale=1\.000x1\.000 stamp=L40$"
wait_shot "window" png PNG
[ "$(size_of "$SHOT")" = "${fw}x$fh" ] || fail "window: the file is $(size_of "$SHOT"), the outer frame ${fw}x$fh"
for probe in "visible 100 80" "covered $covered_x $covered_y"; do
  read -r where px py <<<"$probe"
  colour=$(pixel_at "$SHOT" "$px" "$py")
  [ "${colour,,}" = "$RED" ] || fail "window: the $where part at $px,$py is #$colour, not the red window's #$RED"
done
colour=$(pixel_at "$SHOT" $((fw / 2)) 4)
[ "${colour,,}" != "$RED" ] || fail "window: no title bar: the top row is the window's red"
wait_for 10 "window: the overlays to go" overlays_gone
check_clipboard "window" "$SHOT" first pixels
echo "ok window: ${fw}x$fh with its title bar, red where covered"

log_since "$start" | grep -q capture-grab-failed && fail "an overlay could not grab the input: $(log_since "$start" | grep capture-grab-failed)"
stop_vistrel
kill "$XTERM_PID" 2>/dev/null || true
echo "still capture: all passed"
