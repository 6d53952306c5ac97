#!/usr/bin/env bash
# Verifies timed capture on a real desktop: --delay refuses bad values with status 2; a delayed screen capture shows
# its countdown near the pointer and the picture it takes does not contain it; Escape, watched as a system-wide key,
# cancels the count; a delayed
# window capture takes the window under the pointer when the count ends.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"

# Outside the test: COUNTDOWN_SCREENSHOT names a file for a picture of the countdown.

SCREEN_H=1080
RED=c03030

# refused <args...>: the command line is refused with status 2 and a message naming --delay.
refused() {
  local status=0 said
  said=$(timeout 10 "$VISTREL" "$@" 2>&1) || status=$?
  [ "$status" -eq 2 ] || fail "vistrel $*: exit status $status, want 2; it said: $said"
  grep -q -- '--delay' <<<"$said" || fail "vistrel $*: the message does not name --delay: $said"
}
for bad in 61 -1 abc 5s ''; do refused --action capture.screen --delay "$bad"; done
refused --action window.leftHalf --delay 3
refused --delay 3
echo "ok --delay refuses 61, -1, abc, 5s, an empty value, a non-capture action and a missing --action"

xsetroot -solid '#5a7896'
start_window "#$RED" "Red probe" 700x500+400+200
RED_WINDOW=$WINDOW
write_settings '{"vistrel.capture.show": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
BASE_WINDOWS=$(visible_windows)

countdown_up() { [ "$(overlay_windows | grep -c .)" -eq 1 ]; }

# The pointer over the red window: the countdown covers part of it.
px=700 py=400
xdotool mousemove "$px" "$py"
rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over capture.screen --delay 2
wait_for 5 "the countdown window" countdown_up
read -r cx cy cw ch <<<"$(xwininfo -id "$(overlay_windows)" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
  /^  Width/ { w = $NF } /^  Height/ { h = $NF } END { print x, y, w, h }')"
if ! { [ "$cx" -gt "$px" ] && [ "$cx" -lt $((px + 60)) ] && [ "$cy" -gt "$py" ] && [ "$cy" -lt $((py + 60)) ]; }; then
  fail "the countdown is at $cx,$cy, not just below and right of the pointer at $px,$py"
fi
import -window root "$HARNESS_DIR/counting.png"
[ -z "${COUNTDOWN_SCREENSHOT:-}" ] || cp "$HARNESS_DIR/counting.png" "$COUNTDOWN_SCREENSHOT"
colour=$(pixel_at "$HARNESS_DIR/counting.png" $((cx + 4)) $((cy + 4)))
[ "${colour,,}" != "$RED" ] || fail "the screen shows no countdown at $cx,$cy"
wait_capture "$offset" "delayed screen"
expect_line "delayed screen" 'capture-done mode=screen delay=2 display=under-mouse out=1920x1080 pxScale=1\.000x1\.000 stamp=L40$'
wait_shot "delayed screen" png PNG
# Where the countdown was, the picture shows what the screen shows there now.
wait_for 5 "the countdown to go" overlays_gone
convert "$SHOT" -crop "${cw}x$ch+$cx+$cy" +repage "$HARNESS_DIR/shot-there.png"
import -window root -crop "${cw}x$ch+$cx+$cy" +repage "$HARNESS_DIR/root-there.png"
same_pixels "the countdown's place in the picture" "$HARNESS_DIR/shot-there.png" "$HARNESS_DIR/root-there.png"
[ "$(visible_windows)" = "$BASE_WINDOWS" ] || fail "the countdown is still on the screen"
echo "ok a delayed screen capture shows its count at $cx,$cy, and its picture has the screen's own pixels there"

rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over capture.screen --delay 5
wait_for 5 "the countdown window" countdown_up
xdotool key Escape
wait_for 5 "Escape: the countdown to go" overlays_gone
# Escape came as a system-wide key: the count left the keyboard to other programs.
log_since "$offset" | grep -q 'hotkey-fired id=' || fail "Escape did not come as a system-wide key"
hand_over capture.screen
wait_capture "$offset" "the capture after Escape"
expect_line "the capture after Escape" 'capture-done mode=screen display=under-mouse '
echo "ok Escape cancels the count and the next capture works"

read -r fx fy fw fh <<<"$(outer_frame "$RED_WINDOW")"
xdotool mousemove 20 20
rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over capture.window --delay 2
wait_for 5 "the countdown window" countdown_up
xdotool mousemove $((fx + 50)) $((fy + 100))
wait_capture "$offset" "delayed window"
expect_line "delayed window" "capture-done mode=window delay=2 windowID=$((RED_WINDOW)) frame=\($fx,$((SCREEN_H - fy - fh)) ${fw}x$fh\) out=${fw}x$fh "
echo "ok a delayed window capture takes the window the pointer is over when the count ends"

stop_vistrel
echo "timed capture: all passed"
