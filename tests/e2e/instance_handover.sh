#!/usr/bin/env bash
# Verifies the hand-over to the running copy: --action window.rightHalf (also with no display) moves the front window through it, --action nope exits 2, a plain second start exits 0 at once and the first copy runs on; with no copy running --action exits 1; a socket left by a killed copy is replaced by the next one; the record and the socket go when a copy exits.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

socket=$XDG_RUNTIME_DIR/app.vistrel.Vistrel.socket
out=$HARNESS_DIR/client.out

# client <want status> <what> <command...>: runs a client start with a deadline and checks its exit status.
client() {
  local want=$1 what=$2 status=0
  shift 2
  timeout 10 "$@" >"$out" 2>&1 || status=$?
  [ "$status" -ne 124 ] || fail "$what: still running after 10 s"
  [ "$status" -eq "$want" ] || fail "$what: exit status $status (want $want); it said:
$(cat "$out")"
}
records() { find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '*.instance' | sort; }
# only_record_of <pid>: the folder holds one record, that process's ("<pid>-<start time>.instance").
only_record_of() { [[ $(records) =~ ^$XDG_RUNTIME_DIR/$1-[0-9]+\.instance$ ]]; }

client 1 "--action with no copy running" "$VISTREL" --action window.rightHalf
grep -q "no running Vistrel" "$out" || fail "--action with no copy running said: $(cat "$out")"

start_vistrel
first=$VISTREL_PID
[ -S "$socket" ] || fail "no hand-over socket at $socket"
only_record_of "$first" || fail "want the one record of pid $first, found: $(records)"

start_test_window "Hand-over probe"

offset=$(log_offset)
client 0 "--action window.rightHalf" "$VISTREL" --action window.rightHalf
wait_for 10 "the right-half settle line" settle_logged "$offset" rightHalf
log_since "$offset" | grep -q "hand-over-action id=window.rightHalf" || fail "no hand-over-action line"
frame_near "$W" "960 0 960 1080" 1 1 1 1 || fail "after --action window.rightHalf: $(outer_frame "$W")"

offset=$(log_offset)
client 0 "--action window.leftHalf with no display" env -u DISPLAY "$VISTREL" --action window.leftHalf
wait_for 10 "the left-half settle line" settle_logged "$offset" leftHalf
frame_near "$W" "0 0 960 1080" 1 1 1 1 || fail "after --action window.leftHalf: $(outer_frame "$W")"

client 2 "--action nope" "$VISTREL" --action nope
grep -q 'unknown action "nope"' "$out" || fail "--action nope said: $(cat "$out")"

client 0 "a plain second start" "$VISTREL"
grep -q "pid $first" "$out" || fail "a plain second start said: $(cat "$out")"
kill -0 "$first" 2>/dev/null || fail "the first copy ended when the second start handed over"
only_record_of "$first" || fail "the handing-over start left a record: $(records)"

# A killed copy leaves its socket and record; the next copy replaces the one and ignores, then removes, the other.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
VISTREL_PID=
[ -S "$socket" ] || fail "the killed copy's socket is gone already"
only_record_of "$first" || fail "the killed copy's record is gone already: $(records)"
client 1 "--action to a killed copy" "$VISTREL" --action window.rightHalf
offset=$(log_offset)
start_vistrel
log_since "$offset" | grep -q "hand-over-stale-socket removed=$socket" \
  || fail "no stale-socket line in: $(log_since "$offset")"
only_record_of "$VISTREL_PID" || fail "want only the new copy's record, found: $(records)"
offset=$(log_offset)
client 0 "--action to the new copy" "$VISTREL" --action window.rightHalf
wait_for 10 "the right-half settle line from the new copy" settle_logged "$offset" rightHalf

stop_vistrel
[ -z "$(records)" ] || fail "records left after exit: $(records)"
[ ! -e "$socket" ] || fail "the socket is left after exit"
echo "instance hand-over: all passed"
