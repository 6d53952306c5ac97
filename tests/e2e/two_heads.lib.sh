# shellcheck shell=bash
# A nested X server with two Xinerama heads, for the two-display end-to-end
# tests (source after lib.sh). start_two_heads starts Xephyr inside the
# harness's display with a 1280x800 head at the origin (the primary) and a
# 1024x768 head to its right, runs openbox on it and points DISPLAY at it; on
# exit the test window, vistrel, openbox and Xephyr are stopped in that order.

XEPHYR_PID='' NESTED_WM_PID='' WINDOW_PID=''

# stop_pid <pid> <name>: TERM, up to 5 s, then KILL.
stop_pid() {
  local pid=$1 name=$2
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  poll_until 5 eval "! kill -0 $pid 2>/dev/null" && return 0
  echo "${0##*/}: $name (pid $pid) ignored SIGTERM for 5 s; killing it" >&2
  kill -KILL "$pid" 2>/dev/null || true
}

# The nested server goes last, so that no client of it sees its connection break.
stop_nested() {
  stop_pid "$WINDOW_PID" "the test window"
  stop_pid "$VISTREL_PID" vistrel
  stop_pid "$NESTED_WM_PID" "the nested openbox"
  stop_pid "$XEPHYR_PID" Xephyr
}

start_two_heads() {
  local here xephyr_log displayfd heads
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)  # absolute: openbox reads its configuration later
  trap stop_nested EXIT
  # Xephyr writes the display number it chose to the descriptor once it listens.
  xephyr_log=$HARNESS_DIR/xephyr.log
  exec {displayfd}>"$HARNESS_DIR/xephyr-display"
  Xephyr -displayfd "$displayfd" +xinerama -screen 1280x800 -screen 1024x768 -ac -noreset -nolisten tcp \
    >"$xephyr_log" 2>&1 &
  XEPHYR_PID=$!
  exec {displayfd}>&-
  # shellcheck disable=SC2317 # called through poll_until and wait_for
  xephyr_listening() { kill -0 "$XEPHYR_PID" 2>/dev/null && grep -qx '[0-9]\+' "$HARNESS_DIR/xephyr-display"; }
  poll_until 10 xephyr_listening || fail "Xephyr did not choose a display number; it said:
$(tail -n 20 "$xephyr_log")"
  NESTED=:$(cat "$HARNESS_DIR/xephyr-display")
  # shellcheck disable=SC2317
  xephyr_answers() { kill -0 "$XEPHYR_PID" 2>/dev/null && xdpyinfo -display "$NESTED" >/dev/null 2>&1; }
  wait_for 10 "Xephyr to answer on $NESTED" xephyr_answers
  heads=$(xdpyinfo -display "$NESTED" -ext XINERAMA | grep -c '^ *head #') || true
  [ "$heads" -eq 2 ] || fail "Xephyr on $NESTED has $heads Xinerama heads, want 2"
  export DISPLAY=$NESTED

  openbox --sm-disable --config-file "$here/openbox-rc.xml" >"$HARNESS_DIR/nested-openbox.log" 2>&1 &
  NESTED_WM_PID=$!
  # shellcheck disable=SC2317
  wm_up() { kill -0 "$NESTED_WM_PID" 2>/dev/null && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  wait_for 10 "openbox to manage $NESTED" wm_up
}
