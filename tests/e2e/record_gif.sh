#!/usr/bin/env bash
# Verifies "Record Area as GIF": ten seconds of an 800x600 area of a terminal in use, started and stopped by --action, give a Vistrel-<time>.gif that ffprobe reads as an 800x600 GIF of at most 15 frames a second and under 2 MB, about as long as the recording, whose first frame shows the terminal.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in ffprobe ffmpeg; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done
# Outside the test: GIF_FIRST_FRAME names a file for the GIF's first frame as PNG.

GIF_NAME='Vistrel-[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\.gif'
now() { echo "${EPOCHREALTIME/,/.}"; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }
record_lines() { log_since "$1" | grep 'record ' || true; }
# wait_record_line <offset> <kind>: waits for one "record <kind>" line since the offset; sets RECORD_LINE.
wait_record_line() {
  # shellcheck disable=SC2317 # called through wait_for
  logged() { record_lines "$1" | grep -q "record $2"; }
  wait_for 30 "the 'record $2' line" logged "$1" "$2"
  RECORD_LINE=$(record_lines "$1" | grep "record $2")
}
probe() { ffprobe -v error -select_streams v:0 -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 "$1"; }

# A terminal in use: commands typed a key at a time, each followed by its output.
cat >"$HARNESS_DIR/session.sh" <<'EOF'
type_line() { local i; printf '$ '; for ((i = 0; i < ${#1}; i++)); do printf '%s' "${1:i:1}"; sleep 0.08; done; echo; }
clear
while :; do
  for command in 'ls -l /usr' 'uname -a' 'df -h /' 'echo the quick brown fox' 'date'; do
    type_line "$command"
    eval "$command" 2>&1 | head -n 12
    sleep 0.4
  done
  clear
done
EOF
xterm -T "Terminal" -fa Monospace -fs 11 -geometry 110x40+60+60 -e bash "$HARNESS_DIR/session.sh" 2>/dev/null &
XTERM_PID=$!
# shellcheck disable=SC2317 # called through wait_for
xterm_shown() { [ -n "$(client_windows "$XTERM_PID")" ]; }
wait_for 10 "the xterm window" xterm_shown

start=$(log_offset)
start_vistrel
wait_for_launch "$start"

xdotool mousemove 100 100
offset=$(log_offset)
start_selection 1 "GIF recording" hand_over record.areaGif
xdotool mousedown 1 mousemove 500 400 mousemove 900 700 mouseup 1
wait_record_line "$offset" start
grep -qE "record start mode=area .* pixelCrop=\(100,100 800x600\) stream=[0-9x]+ out=800x600 " <<<"$RECORD_LINE " \
  || fail "the start line is $RECORD_LINE"
t0=$(now)
sleep 10 # the recording's length
hand_over record.stop
recorded=$(calc "$(now) - $t0")
wait_record_line "$offset" stop-ok
file=$(find "$SHOTS" -mindepth 1 -maxdepth 1 -name '*.gif' | sort)
[ "$(grep -c . <<<"$file")" -eq 1 ] || fail "want one GIF, have: $(ls -A "$SHOTS")"
[[ ${file##*/} =~ ^$GIF_NAME$ ]] || fail "file name ${file##*/} is not Vistrel-<ISO time>.gif"
[ -z "$(find "$SHOTS" -mindepth 1 -maxdepth 1 ! -name '*.gif')" ] || fail "files left beside the GIF: $(ls -A "$SHOTS")"
grep -qE "record stop-ok frames=[0-9]+ file=${file##*/}$" <<<"$RECORD_LINE" || fail "the stop line is $RECORD_LINE"

[ "$(probe "$file" stream=codec_name)" = gif ] || fail "codec $(probe "$file" stream=codec_name)"
size="$(probe "$file" stream=width)x$(probe "$file" stream=height)"
[ "$size" = 800x600 ] || fail "size $size, not 800x600"
frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$file")
duration=$(probe "$file" format=duration)
bytes=$(stat -c %s "$file")
shortest=$(ffprobe -v error -select_streams v:0 -show_entries packet=duration_time -of csv=p=0 "$file" | sort -g | head -n 1)
errors=$(ffmpeg -v error -i "$file" -f null - 2>&1 | head -n 5)
[ -z "$errors" ] || fail "decoding reports: $errors"
holds "$frames / $duration <= 15" || fail "$frames frames in $duration s is more than 15 a second"
holds "$shortest >= 1 / 15" || fail "a frame lasts $shortest s, less than a fifteenth of a second"
holds "$frames >= 20" || fail "only $frames frames: the typing is not in the GIF"
holds "$duration > $recorded - 1 && $duration < $recorded + 0.5" || fail "$duration s long, recorded for $recorded s"
[ "$bytes" -lt 2000000 ] || fail "$bytes bytes, not under 2 MB"

# The first frame is the terminal: mostly its white background, with dark text.
ffmpeg -v error -i "$file" -frames:v 1 -y "$HARNESS_DIR/first.png"
[ -z "${GIF_FIRST_FRAME:-}" ] || cp "$HARNESS_DIR/first.png" "$GIF_FIRST_FRAME"
white=$(convert "$HARNESS_DIR/first.png" -fuzz 10% -fill black +opaque white -fill white -opaque white -format '%[fx:mean]' info:)
holds "$white > 0.8" || fail "the first frame is not the terminal's page (white share $white)"
echo "ok ${file##*/}: GIF 800x600, $frames frames in $duration s (shortest $shortest s), $bytes bytes"
echo "record_gif: all passed"
