#!/usr/bin/env bash
# Verifies that under xfwm4 with a 30 px top panel the layout shortcuts put a GTK 4 window that draws its own decorations (an invisible shadow margin in _GTK_FRAME_EXTENTS) to the pixel on each target of the area below the panel, ending each snap with snap-done.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

AREA=$(xprop -root -notype _NET_WORKAREA | grep -o '[0-9][0-9, ]*$' | cut -d, -f1-4 | tr -d ,)
[ "$AREA" = "0 30 1920 1050" ] || fail "the work area below the panel is '$AREA', not 0 30 1920 1050"

start=$(log_offset)
start_vistrel
wait_for_launch "$start"
if log_since "$start" | grep -q hotkey-register-failed; then
  fail "a shortcut is taken under xfwm4: $(log_since "$start" | grep hotkey-register-failed)"
fi

# Settings in memory, no accessibility bus, software drawing: nothing outside the harness is touched.
GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GSK_RENDERER=cairo gnome-calculator >"$HARNESS_DIR/calculator.log" 2>&1 &
CALCULATOR_PID=$!
# shellcheck disable=SC2317 # called through wait_for
calculator_window() { W=$(client_windows "$CALCULATOR_PID" | head -n 1); [ -n "$W" ]; }
wait_for 20 "the GTK 4 window" calculator_window
# The compositor lets GTK draw its shadow; the margin is what the snaps must leave out.
# shellcheck disable=SC2317
shadowed() { xprop -id "$W" -notype _GTK_FRAME_EXTENTS | grep -qE '= [1-9]'; }
wait_for 10 "a shadow margin in _GTK_FRAME_EXTENTS" shadowed
# shellcheck disable=SC2317
is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$W")"; }
xdotool windowactivate "$W" 2>/dev/null || true
wait_for 10 "the GTK 4 window to be active" is_active

for step in "ctrl+alt+Left leftHalf" "ctrl+alt+Right rightHalf" "ctrl+alt+Up topHalf" "ctrl+alt+c center" \
            "ctrl+alt+k bottomRight" "ctrl+alt+Return maximize"; do
  read -r keys snap <<<"$step"
  expected=$(geometry "$snap" "$(outer_frame "$W")")
  press_and_settle "$snap" "$keys"
  grep -q "snap-done preset=$snap " <<<"$LAST_LINES" || fail "$snap: no snap-done line in:
$LAST_LINES"
  # Only the centre may fall on half a pixel.
  frame_near "$W" "$expected" 0.5 0.5 0 0 || fail "$snap: frame $(outer_frame "$W"), expected $expected"
  echo "ok $snap: $(outer_frame "$W")"
done

kill "$CALCULATOR_PID"
stop_vistrel
