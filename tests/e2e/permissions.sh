#!/usr/bin/env bash
# Verifies the permission flows on X11, where the program is always trusted: the launch lines say trusted and allowed, a normal session (a snap by shortcut) shows no permission alert, notification or watcher, and a relaunch through the permission flow leaves exactly one running copy, which performs the pending snap once.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

[ -x "${RELAUNCH_PROBE:-}" ] || fail "RELAUNCH_PROBE does not name the relaunch probe: '${RELAUNCH_PROBE:-}'"
bundle=$(readlink -f "$VISTREL")
# "vistrel 0.1.0 (build 1, local)": the build and the scope the permission records use.
read -r build scope < <("$VISTREL" --version | sed -n 's/.*(build \([^,]*\), \([a-z]*\)).*/\1 \2/p') || true
[ -n "$scope" ] || fail "no build and channel in: $("$VISTREL" --version)"
local_build=$([ "$scope" = local ] && echo true || echo false)

offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"
want="permission-legacy-keys-cleared scope=$scope
permission-e2e scope=$scope build=$build ax=true capture=true axStale=false capStale=false local=$local_build
capture-launch preflight=true build=$build scope=$scope bundle=$bundle
accessibility-launch trusted=true build=$build bundle=$bundle"
# A release build decides on the heal too: both permissions work, so it stays.
[ "$scope" = local ] || want+=$'\n'"post-update-heal skip ok build=$build"
got=$(log_since "$offset" | cut -d' ' -f2- | grep -E '^(permission-|capture-|accessibility-|post-update-heal )')
[ "$got" = "$want" ] || fail "launch lines:
$got
want:
$want"

start_test_window "Permissions probe"
press_and_settle rightHalf ctrl+alt+Right
frame_near "$W" "960 0 960 1080" 1 1 1 1 || fail "the shortcut did not snap: $(outer_frame "$W")"
[ -z "${PERMISSIONS_SCREENSHOT:-}" ] || import -window root "$PERMISSIONS_SCREENSHOT"
nagging=$(log_since "$offset" | grep -E ' (accessibility-|capture-(watcher|request|local|waiting)|post-update-heal (scheduled|relaunch)|alert )' \
  | grep -v -e 'accessibility-launch trusted=true' || true)
[ -z "$nagging" ] || fail "a trusted session nagged: $nagging"
windows=$(client_windows "$VISTREL_PID")
[ -z "$windows" ] || fail "vistrel shows a window (an alert?): $windows"
stop_vistrel

# The relaunch: the probe stores a pending left-half snap for the window in front (now on the right half) and
# replaces itself with the program.
records() { find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '*.instance' | sort; }
offset=$(log_offset)
status=0
APPIMAGE=$VISTREL timeout 10 "$RELAUNCH_PROBE" leftHalf || status=$?
[ "$status" -eq 0 ] || fail "the relaunch probe ended with status $status"
log_since "$offset" | grep -q "accessibility-relaunch reason=user bundle=$VISTREL" || fail "no relaunch line"
wait_for 10 "the relaunched copy's left-half settle line" settle_logged "$offset" leftHalf
# The new copy runs in a session of its own, outside the harness's process group: it is stopped here.
[[ $(records) =~ ^$XDG_RUNTIME_DIR/([0-9]+)-[0-9]+\.instance$ ]] || fail "want one instance record, found: $(records)"
VISTREL_PID=${BASH_REMATCH[1]}
trap 'kill -KILL "$VISTREL_PID" 2>/dev/null || true' EXIT
[ "$(readlink -f "/proc/$VISTREL_PID/exe")" = "$bundle" ] || fail "the running copy (pid $VISTREL_PID) is not $bundle"
frame_near "$W" "0 0 960 1080" 1 1 1 1 || fail "the pending snap was not performed: $(outer_frame "$W")"
[ "$(log_since "$offset" | grep -c ' perform leftHalf ')" -eq 1 ] || fail "the pending snap ran other than once:
$(log_since "$offset")"
! grep -q 'vistrel.pendingSnap' "$XDG_CONFIG_HOME/vistrel/defaults.json" || fail "the pending snap is still stored"

kill -TERM "$VISTREL_PID"
poll_until 10 vistrel_exited || fail "the relaunched copy did not exit within 10 s of SIGTERM"
[ -z "$(records)" ] || fail "records left after exit: $(records)"
echo "permissions: trusted launch lines, no nagging, one relaunched copy that performed the pending snap"
