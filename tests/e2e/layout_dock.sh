#!/usr/bin/env bash
# Verifies that a dock's strut at the bottom is left out of the layout area: Bottom Half keeps its bottom edge on the dock's top, Left Half takes the height above the dock.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

tint2 -c "$here/dock-tint2rc" >"$HARNESS_DIR/dock.log" 2>&1 &
DOCK_PID=$!
trap 'kill "$DOCK_PID" 2>/dev/null || true' EXIT
# The window manager shrinks the work area once it has seen the dock's strut.
work_area_reduced() { xprop -root -notype _NET_WORKAREA | grep -q '= 0, 0, 1920, 1032'; }
wait_for 10 "the dock's strut in _NET_WORKAREA" work_area_reduced

start_vistrel
start_test_window "Dock probe"
press_and_settle bottomHalf ctrl+alt+Down
frame_near "$W" "0 516 1920 516" 1 1 1 1 || fail "Bottom Half: $(outer_frame "$W"), expected 0 516 1920 516 (above the dock)"
grep -q "snap-done preset=bottomHalf " <<<"$LAST_LINES" || fail "Bottom Half: no snap-done line in:
$LAST_LINES"
press_and_settle leftHalf ctrl+alt+Left
frame_near "$W" "0 0 960 1032" 1 1 1 1 || fail "Left Half: $(outer_frame "$W"), expected 0 0 960 1032"
stop_vistrel
echo "layout with a dock: passed"
