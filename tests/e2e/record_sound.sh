#!/usr/bin/env bash
# Verifies "Record sound" (desktop sound) on a private PulseAudio server with a null sink: a tone played while the screen changes is in the recording's AAC track, starting within 40 ms of the first frame that shows the change; when the server goes away mid-recording the recording goes on to its stop without sound, logging "record sound-lost" and noting it in a notification when it stops; with no server, a recording starts without sound, logging "record sound-unavailable".
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in ffprobe ffmpeg pulseaudio pactl pacat sox python3 dbus-monitor; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }
record_lines() { log_since "$1" | grep 'record ' || true; }
# wait_record_line <offset> <kind>: waits for a "record <kind>" line since the offset.
wait_record_line() {
  # shellcheck disable=SC2317 # called through wait_for
  logged() { record_lines "$1" | grep -q "record $2"; }
  wait_for 20 "the 'record $2' line" logged "$1" "$2"
}
movie() { find "$SHOTS" -name '*.mp4'; }

# A sound server of the test's own: a null sink whose monitor is the desktop's sound.
export PULSE_SERVER=unix:$HARNESS_DIR/pulse.sock
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm \
  -L "module-native-protocol-unix socket=$HARNESS_DIR/pulse.sock auth-anonymous=1" \
  -L "module-null-sink sink_name=null rate=48000" >"$HARNESS_DIR/pulse.log" 2>&1 &
PULSE_PID=$!
wait_for 10 "the sound server" pactl info
pactl set-default-sink null
sox -n -r 48000 -c 2 -b 16 -e signed-integer "$HARNESS_DIR/tone.wav" synth 1.5 sine 880 gain -3

# The note when a recording without sound stops: no notification server runs on the private bus, the call is seen here.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$HARNESS_DIR/notes.log" 2>&1 &
write_settings '{"vistrel.recording.sound": "desktop"}'
xsetroot -solid '#202020'
offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"

# 1. The tone and the screen's change at one moment.
offset=$(log_offset)
hand_over record.screen
wait_record_line "$offset" start
# A player already playing (silence) turns to the tone as the screen changes:
# what it has queued then is a pipe of 21 ms and its own 10 ms.
python3 - "$HARNESS_DIR/tone.wav" <<'PY'
import fcntl, subprocess, sys
player = subprocess.Popen(["pacat", "--playback", "--raw", "--latency-msec=10", "--format=s16le",
                           "--rate=48000", "--channels=2"], stdin=subprocess.PIPE)
fcntl.fcntl(player.stdin.fileno(), 1031, 4096)  # F_SETPIPE_SZ: the pipe holds 21 ms
silence = bytes(1920)  # 10 ms
for _ in range(150):
    player.stdin.write(silence)
    player.stdin.flush()
subprocess.run(["xsetroot", "-solid", "#e0e0e0"], check=True)
player.stdin.write(open(sys.argv[1], "rb").read()[44:])  # the samples after the header
player.stdin.close()
player.wait()
PY
sleep 1
hand_over record.stop
wait_record_line "$offset" stop-ok
file=$(movie)
record_lines "$offset" | grep -q 'sound-' && fail "sound trouble: $(record_lines "$offset")"
[ "$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate -of csv=p=0 "$file")" = aac,48000 ] \
  || fail "no AAC track at 48 kHz: $(ffprobe -v error -show_streams "$file" | grep -E 'codec_name|sample_rate')"
errors=$(ffmpeg -v error -i "$file" -f null - 2>&1 | head -n 5)
[ -z "$errors" ] || fail "decoding reports: $errors"
tone=$(ffmpeg -v info -i "$file" -vn -af silencedetect=n=-40dB:d=0.3 -f null - 2>&1 | sed -n 's/.*silence_end: \([0-9.]*\).*/\1/p' | head -n 1)
[ -n "$tone" ] || fail "no tone in the sound track"
cp "$file" "$HARNESS_DIR/tone.mp4"  # the movie filter reads no colons in names
lit=$(ffprobe -v error -f lavfi -i "movie=$HARNESS_DIR/tone.mp4,signalstats" -show_entries frame=pts_time:frame_tags=lavfi.signalstats.YAVG \
  -of csv=p=0 | awk -F, '$2 > 128 { print $1; exit }')
[ -n "$lit" ] || fail "no frame shows the lit screen"
apart=$(calc "$tone - $lit")
holds "$apart < 0.04 && $apart > -0.04" || fail "the tone starts at $tone s, the screen lights at $lit s: $apart s apart"
echo "ok the tone starts at $tone s, the frame that changed with it at $lit s ($apart s apart)"
rm -f "$SHOTS"/*

# 2. The server goes away mid-recording: the recording goes on without sound to its stop.
offset=$(log_offset)
hand_over record.screen
wait_record_line "$offset" start
sleep 1
kill "$PULSE_PID"
wait_record_line "$offset" sound-lost
sleep 1.5
hand_over record.stop
wait_record_line "$offset" stop-ok
file=$(movie)
# shellcheck disable=SC2317 # called through wait_for
noted() { grep -q 'Recorded without sound' "$HARNESS_DIR/notes.log"; }
wait_for 10 "the note that the recording lost its sound (D-Bus said: $(cat "$HARNESS_DIR/notes.log"))" noted
duration=$(ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 "$file")
holds "$duration > 2.2" || fail "the video ends at $duration s, with the sound"
echo "ok a recording whose server went away goes on to $duration s: $(record_lines "$offset" | grep -o 'record sound-lost.*')"
rm -f "$SHOTS"/*

# 3. No server: the recording starts without sound.
offset=$(log_offset)
hand_over record.screen
wait_record_line "$offset" start
wait_record_line "$offset" sound-unavailable
sleep 1
hand_over record.stop
wait_record_line "$offset" stop-ok
[ -z "$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$(movie)")" ] || fail "a sound track without a server"
echo "ok without a server the recording has no sound: $(record_lines "$offset" | grep -o 'record sound-unavailable.*')"
echo "record_sound: all passed"
