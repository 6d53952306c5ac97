#!/usr/bin/env bash
# Verifies the single-copy guard: a second copy of the same file (--new-instance) starts without an alert; a copy from another file shows the "Quit the other Vistrel" alert naming both paths, waits for it, and runs on once Return dismisses it; the first copy shows nothing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

real=$(realpath "$VISTREL")
other_dir=$HARNESS_DIR/other
mkdir -p "$other_dir"
cp "$real" "$other_dir/vistrel"
other=$other_dir/vistrel

# visible_windows <pid>: the viewable windows of the process named "Vistrel", one decimal id a line.
visible_windows() {
  xdotool search --all --onlyvisible --pid "$1" --name '^Vistrel$' 2>/dev/null || true
}
# launched_past_guard <offset>: the launch reached hotkey registration, which follows the guard.
launched_past_guard() {
  log_since "$1" | grep -q "hotkey-handler status="
}

start_vistrel
first=$VISTREL_PID
first_stderr=$VISTREL_STDERR

# The same file again, forced to start: no alert, and the launch goes on.
offset=$(log_offset)
start_vistrel --new-instance
wait_for 10 "the --new-instance copy to get past the guard" launched_past_guard "$offset"
if log_since "$offset" | grep -q "duplicate-vistrel"; then
  fail "a second copy of the same file logged: $(log_since "$offset" | grep duplicate-vistrel)"
fi
[ -z "$(visible_windows "$VISTREL_PID")" ] || fail "a second copy of the same file shows a window"
stop_vistrel

# A copy of another file: the alert, before the rest of the launch.
offset=$(log_offset)
VISTREL=$other start_vistrel
copy=$VISTREL_PID
want="duplicate-vistrel self=$other other=$real pid=$first"
# The whole message after the timestamp, compared as text.
duplicate_logged() { log_since "$offset" | cut -d' ' -f2- | grep -qxF -- "$want"; }
wait_for 10 "the line \"$want\"" duplicate_logged
alert_shown() { ALERT=$(visible_windows "$copy" | head -n 1); [ -n "$ALERT" ]; }
wait_for 10 "the alert window of the copy from $other" alert_shown
! launched_past_guard "$offset" || fail "the launch went on while the alert was open"
[ -z "$(visible_windows "$first")" ] || fail "the first copy shows a window"

alert_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$ALERT")"; }
xdotool windowactivate "$ALERT" 2>/dev/null || true
wait_for 10 "the alert to have the focus" alert_active
xdotool key Return
alert_gone() { [ -z "$(visible_windows "$copy")" ]; }
wait_for 10 "the alert to close after Return" alert_gone
wait_for 10 "the copy to go on with its launch" launched_past_guard "$offset"
kill -0 "$copy" 2>/dev/null || fail "the copy from $other ended after the alert"
[ "$(log_since "$offset" | grep -c duplicate-vistrel)" -eq 1 ] || fail "more than one duplicate-vistrel line"

VISTREL=$other stop_vistrel
VISTREL_PID=$first VISTREL_STDERR=$first_stderr stop_vistrel
echo "instance guard: all passed"
