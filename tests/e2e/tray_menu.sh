#!/usr/bin/env bash
# Verifies that a click on the tray icon opens the menu and that choosing "Left Half" from it moves the window that was in front before the click, not anything of ours.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

start_vistrel
start_test_window "Menu probe"
wait_for 10 "the tray icon" tray_icon_window

eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
offset=$(log_offset)
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
wait_for 10 "the menu to open" menu_open
[ -z "${MENU_SCREENSHOT:-}" ] || import -window root "$MENU_SCREENSHOT"

# The first enabled row is "Left Half" (the "Layout" header above it is disabled).
xdotool key Down Return
wait_for 10 "the Left Half settle line" settle_logged "$offset" leftHalf
log_since "$offset" | grep -q "perform leftHalf front=vistrel-testwindow" \
  || fail "the snap did not go to the test window: $(log_since "$offset")"
frame_near "$W" "0 0 960 1080" 1 1 1 1 || fail "frame $(outer_frame "$W"), expected the left half"
stop_vistrel
echo "tray menu: Left Half moved the front window"
