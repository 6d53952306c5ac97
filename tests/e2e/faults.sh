#!/usr/bin/env bash
# Verifies that Vistrel rides out faults from outside: after the window manager is replaced (openbox --replace) a shortcut still snaps; after the tray host is killed and started again the icon is back with its menu; after the screenshots folder is removed the next capture makes it again; and when the X server goes away it exits within 2 s, non-zero, with one line on stderr naming the display and no instance record left.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"
xdotool search --class '^tint2$' >/dev/null || fail "the harness's tint2 panel is missing (run with --tray)"

# The X server and the tray host are the harness's children.
helper_pid() { pgrep -P "$(cat "$HARNESS_DIR/harness.pid")" -x "$1" || fail "no $1 among the harness's helpers"; }

write_settings '{"vistrel.capture.show": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
wait_for 15 "the tray icon" tray_icon_window
start_test_window "Fault probe"

# 1. Another window manager takes over.
wm_check() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*' || true; }
old_wm=$(wm_check)
openbox --replace --sm-disable --config-file "$here/openbox-rc.xml" >"$HARNESS_DIR/openbox-2.log" 2>&1 &
# shellcheck disable=SC2317 # called through wait_for
wm_replaced() { local now; now=$(wm_check); [ -n "$now" ] && [ "$now" != "$old_wm" ]; }
wait_for 10 "the new window manager to announce itself" wm_replaced
xdotool windowactivate "$W" 2>/dev/null || true
# shellcheck disable=SC2317
is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$W")"; }
wait_for 10 "the test window to be active under the new window manager" is_active
press_and_settle rightHalf ctrl+alt+Right
frame_near "$W" "960 0 960 1080" 1 1 1 1 || fail "after the window manager's replacement: frame $(outer_frame "$W"), expected the right half"
press_and_settle leftHalf ctrl+alt+Left
frame_near "$W" "0 0 960 1080" 1 1 1 1 || fail "after the window manager's replacement: frame $(outer_frame "$W"), expected the left half"
echo "ok snaps after openbox --replace"

# 2. The tray host dies and comes back.
kill -TERM "$(helper_pid tint2)"
# shellcheck disable=SC2317
icon_gone() { ! tray_icon_window; }
wait_for 10 "the icon to leave the dead tray" icon_gone
tint2 -c "$here/tint2rc" >"$HARNESS_DIR/tint2-2.log" 2>&1 &
wait_for 15 "the icon to embed in the new tray" tray_icon_window
eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_for 10 "the menu of the icon in the new tray" menu_open
xdotool key Escape
# shellcheck disable=SC2317
menu_closed() { ! menu_open; }
wait_for 10 "the menu to close" menu_closed
echo "ok the icon and its menu are back in a restarted tray"

# 3. The screenshots folder goes away.
hand_over capture.screen
wait_shot "first capture" png PNG
rm -rf "$SHOTS"
hand_over capture.screen
wait_shot "capture after the folder was removed" png PNG
echo "ok the next capture makes the folder again"

# 4. The X server goes away. What vistrel said before is not this test's.
said_before=$(stat -c %s "$VISTREL_STDERR")
kill -TERM "$(helper_pid Xvfb)"
poll_until 2 vistrel_exited || fail "vistrel still runs 2 s after the X server went away"
status=0
wait "$VISTREL_PID" || status=$?
[ "$status" -ne 0 ] || fail "vistrel exited with status 0 after losing the X server"
said=$(tail -c +$((said_before + 1)) "$VISTREL_STDERR")
[ "$(grep -c . <<<"$said")" -eq 1 ] && grep -qF "\"$DISPLAY\"" <<<"$said" \
  || fail "want one line naming the display $DISPLAY on stderr, got:
$said"
leftovers=$(find "$XDG_RUNTIME_DIR" -mindepth 1 \( -name '*.instance' -o -name '*.socket' \))
[ -z "$leftovers" ] || fail "left behind: $leftovers"
echo "ok without the X server: status $status, \"$said\""
echo "faults: all passed"
