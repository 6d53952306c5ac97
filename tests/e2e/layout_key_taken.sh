#!/usr/bin/env bash
# Verifies that a default shortcut another client already holds (the window manager's Ctrl+Alt+Left) is logged as refused, while every other shortcut still registers and works.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"
refused=$(log_since "$offset" | grep 'hotkey-register-failed' || true)
# Left arrow is Carbon key code 123; Control and Option are the masks 4096 and 2048; BadAccess is status -9878.
[ "$(wc -l <<<"$refused")" -eq 1 ] && grep -q "key=123 mods=6144 status=-9878" <<<"$refused" \
  || fail "want exactly Ctrl+Alt+Left refused, got: ${refused:-nothing}"

start_test_window "Taken key probe"
press_and_settle rightHalf ctrl+alt+Right
frame_near "$W" "960 0 960 1080" 1 1 1 1 || fail "Right Half still works: $(outer_frame "$W")"
press_and_settle maximize ctrl+alt+Return
frame_near "$W" "0 0 1920 1080" 1 1 1 1 || fail "Maximize still works: $(outer_frame "$W")"
stop_vistrel
echo "taken shortcut: refused and logged, the others work"
