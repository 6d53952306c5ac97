#!/usr/bin/env bash
# Verifies that shortcuts survive "Relaunch Vistrel" in the settings window: the new copy, started while the old one still holds every key, has all of them once the old one has quit, so a default shortcut and a recorded one both snap a real window.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"

# A recorded shortcut: Left Half on Ctrl+Alt+H (key code 4), as the settings
# window stores it; Right Half keeps its default, Ctrl+Alt+Right.
hotkeys='{"overrides":{"window.leftHalf":{"keyCode":4,"modifiers":["control","option"],"character":"h"}},"disabled":[]}'
write_settings "{\"vistrel.hotkeys\": {\"data\": \"$(printf '%s' "$hotkeys" | base64 -w0)\"}}"
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
old=$VISTREL_PID

"$VISTREL" --action settings 2>/dev/null || fail "vistrel --action settings failed"
settings_window() { xdotool search --pid "$old" --name '^Settings$' 2>/dev/null | head -n 1; }
wait_for 10 "the settings window" eval '[ -n "$(settings_window)" ]'
S=$(settings_window)
wait_for 10 "the settings window to be viewable" eval 'xwininfo -id "$S" | grep -q IsViewable'

# The "Relaunch Vistrel" button, found by its text wherever the window's
# wrapping of the install path puts it.
command -v tesseract >/dev/null || fail "'tesseract' is not installed (run scripts/install-deps.sh)"
relaunch_button() {
  import -window "$S" "$HARNESS_DIR/settings.png" 2>/dev/null || return 1
  BUTTON=$(tesseract "$HARNESS_DIR/settings.png" - tsv 2>/dev/null \
    | awk -F'\t' '$12 == "Relaunch" { print int($7 + $9 / 2), int($8 + $10 / 2); exit }')
  [ -n "$BUTTON" ]
}
wait_for 20 "the \"Relaunch Vistrel\" button" relaunch_button
offset=$(log_offset)
xdotool mousemove --window "$S" $BUTTON click 1
wait_for 10 "the relaunch line" eval 'log_since "$offset" | grep -q "^.* relaunch-open-ok bundle="'
new_copy() { pgrep -f -- "^$VISTREL --new-instance\$" | grep -vx "$old"; }
wait_for 10 "the new copy" eval '[ -n "$(new_copy)" ]'
VISTREL_PID=$(new_copy)
wait_for 10 "the old copy (pid $old) to end" eval "! kill -0 $old 2>/dev/null"
wait "$old" || fail "the old copy exited with status $? after the relaunch"
wait_for 5 "the new copy to take the keys the old one held" \
  eval 'log_since "$offset" | grep -q "hotkey-retry registered=[1-9][0-9]* refused=0 earlierGone=true"'

start_test_window "Relaunch probe"
press_and_settle leftHalf ctrl+alt+h
frame_near "$W" "$(geometry leftHalf "$(outer_frame "$W")")" 1 1 1 1 || fail "recorded Ctrl+Alt+H: frame $(outer_frame "$W")"
press_and_settle rightHalf ctrl+alt+Right
frame_near "$W" "$(geometry rightHalf "$(outer_frame "$W")")" 1 1 1 1 || fail "default Ctrl+Alt+Right: frame $(outer_frame "$W")"
echo "ok after the relaunch a recorded and a default shortcut snap"
# Not our child: the relaunch detached it.
kill -TERM "$VISTREL_PID"
wait_for 10 "the new copy to end" eval "! kill -0 $VISTREL_PID 2>/dev/null"
