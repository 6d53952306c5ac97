# shellcheck shell=bash
# Helpers for the end-to-end test scripts (source it; bash only).
#
# A test runs inside harness.sh, which provides DISPLAY and HARNESS_DIR; CTest
# passes VISTREL (the program) and VISTREL_VERSION. Every wait here polls
# observable state against a deadline and fails the test with a message saying
# what did not happen.

LAYOUT_LOG=/tmp/vistrel-layout.log

# fail <message>: ends the test with a message naming the test.
fail() {
  echo "${0##*/}: FAIL: $*" >&2
  exit 1
}

# poll_until <seconds> <command...>: runs the command every 50 ms until it
# succeeds (status 0) or the seconds have passed (status 1). The clock is
# EPOCHREALTIME with its decimal mark (locale dependent) removed: microseconds.
poll_until() {
  local seconds=$1
  shift
  local deadline=$(( ${EPOCHREALTIME//[.,]/} + seconds * 1000000 ))
  until "$@"; do
    (( ${EPOCHREALTIME//[.,]/} < deadline )) || return 1
    sleep 0.05
  done
}

# wait_for <seconds> <what> <command...>: poll_until, failing the test with
# "timed out after <seconds> s waiting for <what>".
wait_for() {
  local seconds=$1 what=$2
  shift 2
  poll_until "$seconds" "$@" || fail "timed out after $seconds s waiting for $what"
}

# log_offset: the current size of the diagnostic log in bytes (0 when absent);
# take it before an action, then read what the action wrote with log_since.
log_offset() {
  stat -c %s "$LAYOUT_LOG" 2>/dev/null || echo 0
}

# log_since <offset>: the log lines written after the offset. A log that shrank
# below the offset was replaced by someone else; then all of it is new.
# A reader that stops early (grep -q) ends the writer with SIGPIPE; under
# pipefail that would fail the pipeline, so the writer's status is not passed on.
log_since() {
  local offset=$1 size
  size=$(log_offset)
  [ -f "$LAYOUT_LOG" ] || return 0
  if [ "$size" -lt "$offset" ]; then
    cat "$LAYOUT_LOG" || true
  else
    tail -c +"$((offset + 1))" "$LAYOUT_LOG" || true
  fi
}

# client_windows <pid>: the windows the window manager manages (its client
# list) whose _NET_WM_PID is <pid>, one hex id a line.
client_windows() {
  local pid=$1 w
  for w in $(xprop -root -notype _NET_CLIENT_LIST | grep -o '0x[0-9a-f]*'); do
    if xprop -id "$w" -notype _NET_WM_PID 2>/dev/null | grep -qx "_NET_WM_PID = $pid"; then
      echo "$w"
    fi
  done
}

window_parent() {
  xwininfo -id "$1" -children 2>/dev/null | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p'
}

# tray_icon_window: true when one of vistrel's windows is viewable inside the
# tray host's panel (an XEmbed tray icon); sets TRAY_ICON to its hex id.
tray_icon_window() {
  local panel w ancestor
  panel=$(xdotool search --class '^tint2$' 2>/dev/null | head -n 1)
  [ -n "$panel" ] || return 1
  panel=$(printf '0x%x' "$panel")
  for w in $(xdotool search --pid "$VISTREL_PID" 2>/dev/null); do
    w=$(printf '0x%x' "$w")
    xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    ancestor=$(window_parent "$w")
    while [ -n "$ancestor" ] && [ "$ancestor" != 0x0 ]; do
      if [ "$ancestor" = "$panel" ]; then
        # shellcheck disable=SC2034 # read by the caller
        TRAY_ICON=$w
        return 0
      fi
      ancestor=$(window_parent "$ancestor")
    done
  done
  return 1
}

# menu_open: true while one of vistrel's popup (override-redirect) windows
# other than the tray icon is mapped: the tray menu is open.
menu_open() {
  local w
  for w in $(xdotool search --all --pid "$VISTREL_PID" --onlyvisible --name '' 2>/dev/null); do
    [ "$(printf '0x%x' "$w")" = "$TRAY_ICON" ] && continue
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
  done
  return 1
}

VISTREL_PID=
VISTREL_STDERR=
vistrel_runs=0

# True when the process has ended (bash reaps it while we poll; `wait` still
# reports its status afterwards).
vistrel_exited() {
  ! kill -0 "$VISTREL_PID" 2>/dev/null
}

# The start line: "vistrel " and the version, as the program prints it at launch.
vistrel_start_line() {
  local version=${VISTREL_VERSION:-}
  grep -m1 -E "^vistrel ${version//./\\.}" "$VISTREL_STDERR"
}

vistrel_started() {
  if vistrel_exited; then
    local status=0
    wait "$VISTREL_PID" || status=$?
    fail "vistrel exited with status $status before printing its start line; stderr:
$(cat "$VISTREL_STDERR")"
  fi
  vistrel_start_line >/dev/null
}

# start_vistrel [args...]: starts the program in the background, its stderr in
# a file of its own ($VISTREL_STDERR), and waits for its start line. Sets
# VISTREL_PID.
start_vistrel() {
  [ -x "${VISTREL:-}" ] || fail "VISTREL does not name an executable program: '${VISTREL:-}'"
  vistrel_runs=$((vistrel_runs + 1))
  VISTREL_STDERR=${HARNESS_DIR:-/tmp}/vistrel-$$-$vistrel_runs.stderr
  # Created here: the child opens it only after the fork, and we poll at once.
  : >"$VISTREL_STDERR"
  "$VISTREL" "$@" 2>>"$VISTREL_STDERR" &
  VISTREL_PID=$!
  poll_until 20 vistrel_started || fail "timed out after 20 s waiting for vistrel (pid $VISTREL_PID) to print \
the start line \"vistrel ${VISTREL_VERSION:-}...\"; stderr so far:
$(cat "$VISTREL_STDERR")"
}

# stop_vistrel [signal [seconds]]: sends SIGTERM (or the given signal) and
# checks that the program exits within 10 s (or the given seconds) with status 0.
stop_vistrel() {
  local signal=${1:-TERM} seconds=${2:-10} status=0
  kill -s "$signal" "$VISTREL_PID" 2>/dev/null \
    || fail "vistrel (pid $VISTREL_PID) had already exited before SIG$signal"
  if ! poll_until "$seconds" vistrel_exited; then
    kill -KILL "$VISTREL_PID" 2>/dev/null || true
    fail "vistrel did not exit within $seconds s of SIG$signal"
  fi
  wait "$VISTREL_PID" || status=$?
  VISTREL_PID=
  [ "$status" -eq 0 ] || fail "vistrel exited with status $status after SIG$signal (want 0); stderr:
$(cat "$VISTREL_STDERR")"
}

# wait_for_launch <offset>: waits until the log since <offset> shows that the
# launch sequence has registered the shortcuts (its "hotkey-handler" line).
wait_for_launch() {
  # shellcheck disable=SC2317 # called through wait_for
  launched() { log_since "$1" | grep -q 'hotkey-handler status=0'; }
  wait_for 10 "the launch's log line (hotkey-handler status=0)" launched "$1"
}
