#!/usr/bin/env bash
# Verifies that the layout shortcuts move a real xterm, whose resize increments (6x13) the window manager enforces, to within the self-test's tolerances of each target, ending each snap with a snap-done or snap-partial line.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

start_vistrel
xterm -T "Layout xterm" -geometry 80x24+200+150 &
XTERM_PID=$!
xterm_window() { W=$(client_windows "$XTERM_PID" | head -n 1); [ -n "$W" ]; }
wait_for 10 "the xterm window" xterm_window
is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$W")"; }
xdotool windowactivate "$W" 2>/dev/null || true
wait_for 10 "the xterm to be active" is_active

for step in "ctrl+alt+Left leftHalf" "ctrl+alt+Right rightHalf" "ctrl+alt+Down bottomHalf" "ctrl+alt+k bottomRight" \
            "ctrl+alt+g lastThird" "ctrl+alt+e firstTwoThirds" "ctrl+alt+Return maximize" "ctrl+alt+c center"; do
  read -r keys snap <<<"$step"
  expected=$(geometry "$snap" "$(outer_frame "$W")")
  press_and_settle "$snap" "$keys"
  grep -qE "(snap-done|snap-partial) preset=$snap " <<<"$LAST_LINES" || fail "$snap: no settle line in:
$LAST_LINES"
  frame_near "$W" "$expected" 24 24 36 36 || fail "$snap: frame $(outer_frame "$W"), expected about $expected"
  echo "ok $snap: $(outer_frame "$W")"
done

kill "$XTERM_PID"
stop_vistrel
