#!/usr/bin/env bash
# Verifies the D-Bus interface on a private session bus: the name and its introspection; Capture returns the path of
# a real PNG once it is written and CaptureDone carries that path; Perform runs an action; unknown actions, modes and
# options, and a cancelled delayed capture, come back as the interface's named errors; StopRecording returns the
# finished movie and RecordingStopped carries its path.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus (run under harness.sh --dbus)"
command -v gdbus >/dev/null || fail "'gdbus' is not installed (run scripts/install-deps.sh)"

NAME=app.vistrel.Vistrel OBJECT=/app/vistrel/Vistrel INTERFACE=app.vistrel.Vistrel1
# call <method> [args...]: calls the method; its output (or gdbus's error) on stdout, false on an error reply.
call() {
  local method=$1
  shift
  timeout 20 gdbus call --session --dest "$NAME" --object-path "$OBJECT" --method "$INTERFACE.$method" "$@" 2>&1
}
# named_error <error> <method> [args...]: the call fails with app.vistrel.Vistrel1.Error.<error>.
named_error() {
  local error=$1 said
  shift
  if said=$(call "$@"); then fail "$*: no error; it answered $said"; fi
  grep -q "$INTERFACE\.Error\.$error" <<<"$said" || fail "$*: want the error $INTERFACE.Error.$error, got: $said"
}

xsetroot -solid '#5a7896'
write_settings '{"vistrel.capture.show": false}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
published() { log_since "$start" | grep -q "dbus-published name=$NAME"; }
wait_for 10 "the dbus-published line" published

introspection=$(timeout 10 gdbus introspect --session --dest "$NAME" --object-path "$OBJECT")
for member in "interface $INTERFACE" "Perform(in  s actionId" "Capture(in  s mode" "in  a{sv} options" "out s path" \
  "StartRecording(in  s mode" "StopRecording(out s path" "CaptureDone(s path" "RecordingStopped(s path"; do
  grep -qF "$member" <<<"$introspection" || fail "the introspection lacks \"$member\":
$introspection"
done
echo "ok $NAME answers at $OBJECT with $INTERFACE"

timeout 60 gdbus monitor --session --dest "$NAME" --object-path "$OBJECT" >"$HARNESS_DIR/signals" 2>&1 &
MONITOR=$!
monitoring() { grep -q "Monitoring signals" "$HARNESS_DIR/signals"; }
wait_for 5 "gdbus monitor" monitoring

rm -f "$SHOTS"/*
offset=$(log_offset)
reply=$(call Capture screen "{'show': <false>, 'copy': <false>}") || fail "Capture screen failed: $reply"
path=$(sed -n "s/^('\(.*\)',)$/\1/p" <<<"$reply")
[[ "$path" == "$SHOTS"/* ]] || fail "Capture answered '$reply', not a path in $SHOTS"
[ "$(identify -format '%m %wx%h' "$path")" = "PNG 1920x1080" ] || fail "$path is not a 1920x1080 PNG: $(identify "$path" 2>&1)"
expect_capture() { log_since "$offset" | grep -q 'capture-done mode=screen display=under-mouse out=1920x1080'; }
wait_for 5 "the capture-done line" expect_capture
done_signal() { grep -qF "$INTERFACE.CaptureDone ('$path',)" "$HARNESS_DIR/signals"; }
wait_for 5 "CaptureDone with $path" done_signal
echo "ok Capture returned ${path##*/}, a 1920x1080 PNG, and CaptureDone carried its path"

offset=$(log_offset)
call Perform capture.screen >/dev/null || fail "Perform capture.screen failed"
wait_for 10 "Perform: the capture-done line" capture_logged "$offset"
echo "ok Perform runs an action"

named_error UnknownAction Perform nope
named_error UnknownMode Capture sideways "{}"
named_error InvalidOption Capture screen "{'delay': <61>}"
named_error InvalidOption Capture screen "{'colour': <'red'>}"
named_error NotRecording StopRecording
echo "ok unknown actions, modes and options and a stop without a recording are named errors"

countdown_up() { [ "$(overlay_windows | grep -c .)" -eq 1 ]; }
offset=$(log_offset)
call Capture screen "{'delay': <5>}" >"$HARNESS_DIR/cancelled" &
CALL=$!
wait_for 5 "the countdown window" countdown_up
named_error Busy Capture screen "{}"
xdotool key Escape
wait "$CALL" && fail "a cancelled Capture answered $(cat "$HARNESS_DIR/cancelled")"
grep -q "$INTERFACE\.Error\.Cancelled" "$HARNESS_DIR/cancelled" || fail "a cancelled Capture said: $(cat "$HARNESS_DIR/cancelled")"
[ -z "$(capture_lines "$offset")" ] || fail "the cancelled capture was made: $(capture_lines "$offset")"
echo "ok a second Capture during the count is Busy; Escape makes the first one Cancelled"

offset=$(log_offset)
call StartRecording screen >/dev/null || fail "StartRecording screen failed"
recording() { log_since "$offset" | grep -q 'record start mode=screen'; }
wait_for 10 "the record start line" recording
# A movie has frames once its first fragment is in the file.
movie_fragment() { local file; file=$(find "$SHOTS" -name 'Vistrel-*.mp4' | head -n 1); [ -n "$file" ] && grep -qa moof "$file"; }
wait_for 15 "the movie's first fragment" movie_fragment
named_error Busy StartRecording area
reply=$(call StopRecording) || fail "StopRecording failed: $reply"
movie=$(sed -n "s/^('\(.*\)',)$/\1/p" <<<"$reply")
[ -s "$movie" ] || fail "StopRecording answered '$reply', not a file"
ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$movie" | grep -qx h264 || fail "$movie holds no H.264 video"
stopped_signal() { grep -qF "$INTERFACE.RecordingStopped ('$movie',)" "$HARNESS_DIR/signals"; }
wait_for 5 "RecordingStopped with $movie" stopped_signal
echo "ok StartRecording and StopRecording give ${movie##*/}, an H.264 movie, and RecordingStopped carries its path"

kill "$MONITOR" 2>/dev/null || true
stop_vistrel
echo "dbus: all passed"
