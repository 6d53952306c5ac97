#!/usr/bin/env bash
# Verifies the settings window on a real desktop: "vistrel --action settings" opens it; recording a new shortcut for Left Half with xdotool (one of the program's own keys reaches the window while recording) makes the new key move a window and the old one do nothing; giving that key to Right Half shows "Left Half no longer uses Ctrl+Alt+L."; a folder chosen with "Choose…" receives the next capture.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"

# Outside the test: SETTINGS_SCREENSHOTS names a folder for pictures of the three tabs.
shots_dir=${SETTINGS_SCREENSHOTS:-}
screenshot() {
  [ -n "$shots_dir" ] || return 0
  sleep 0.3 # not part of the test: lets the window paint
  mkdir -p "$shots_dir"
  import -window root "$shots_dir/$1.png"
}

write_settings '{"vistrel.capture.show": false, "vistrel.capture.copy": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
start_test_window "Settings probe"

"$VISTREL" --action settings 2>/dev/null || fail "vistrel --action settings failed"
settings_window() { xdotool search --pid "$VISTREL_PID" --name '^Settings$' 2>/dev/null | head -n 1; }
wait_for 10 "the settings window" eval '[ -n "$(settings_window)" ]'
S=$(settings_window)
settings_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$S" ]; }
wait_for 10 "the settings window to be active" settings_active
screenshot general

# click <x> <y>: a click at a point of the settings window, which is centred at 860x680.
click() { xdotool mousemove --window "$S" "$1" "$2" click 1; sleep 0.3; }
to_settings() { xdotool windowactivate "$S" 2>/dev/null || true; wait_for 10 "the settings window to be active" settings_active; }

xdotool key ctrl+Tab
sleep 0.3
screenshot hotkeys

# Left Half gets Ctrl+Alt+L: the new key snaps, the old one is gone.
click 220 141
xdotool key ctrl+alt+l
sleep 0.5
xdotool windowactivate "$W"
sleep 0.3
press_and_settle leftHalf ctrl+alt+l
frame_near "$W" "$(geometry leftHalf "$(outer_frame "$W")")" 1 1 1 1 || fail "Ctrl+Alt+L: frame $(outer_frame "$W")"
offset=$(log_offset)
xdotool key ctrl+alt+Left
sleep 1
! log_since "$offset" | grep -q "hotkey-fired" || fail "the old key of Left Half still fires: $(log_since "$offset")"
echo "ok Left Half on Ctrl+Alt+L"

# Right Half takes Ctrl+Alt+L, one of the program's own keys, from Left Half.
to_settings
click 620 141
xdotool key ctrl+alt+l
sleep 0.5
screenshot notice
xdotool windowactivate "$W"
sleep 0.3
press_and_settle rightHalf ctrl+alt+l
frame_near "$W" "$(geometry rightHalf "$(outer_frame "$W")")" 1 1 1 1 || fail "Right Half: frame $(outer_frame "$W")"
echo "ok Right Half took Ctrl+Alt+L"

# Files: a chosen folder receives the next capture.
to_settings
xdotool key ctrl+Tab
sleep 0.3
chosen=$HARNESS_DIR/chosen-shots
mkdir -p "$chosen"
click 69 103
chooser() { xdotool search --pid "$VISTREL_PID" --onlyvisible --name '^Choose' 2>/dev/null | head -n 1; }
wait_for 10 "the folder chooser" eval '[ -n "$(chooser)" ]'
sleep 0.5
xdotool key ctrl+a
xdotool type "$chosen"
# The first Return may only take the completer's suggestion; the next one
# confirms, and the settings window has the focus again.
for _ in 1 2 3; do
  sleep 0.5
  ! settings_active || break
  xdotool key Return
done
wait_for 10 "the chooser to close" settings_active
screenshot files
SHOTS=$chosen
xdotool key super+shift+1
wait_shot "capture after choosing a folder" png PNG
echo "ok capture in $SHOT"
stop_vistrel
