#!/usr/bin/env bash
# Verifies screen recording on a real desktop: ten seconds of a changing screen started by the shortcut give a Vistrel-<time>.mp4 that ffprobe reads as H.264 High, 30 fps or less, 1280x720, at 4·w·h bits per second, whose decoded frames match the screen at their times; the tray shows the recording (icon and "Stop Recording" menu) and a click on it stops; the file manager is asked over D-Bus to show the file; an area of 301x201 pixels records 300x200; a recording killed with SIGKILL leaves a file that plays to within a fragment of the kill.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in ffprobe ffmpeg dbus-monitor; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done
[ -x "${ANIMATOR:-}" ] || fail "ANIMATOR does not name the animator program: '${ANIMATOR:-}'"
xdotool search --class '^tint2$' >/dev/null || fail "the harness's tint2 panel is missing (run with --tray)"
# No file manager runs on the private bus: the reveal's call is seen here, and then falls back to xdg-open.
dbus-monitor --session "type='method_call',interface='org.freedesktop.FileManager1'" >"$HARNESS_DIR/dbus.log" 2>&1 &

# Outside the test: RECORD_TRAY_SCREENSHOT names a file for a picture of the
# tray icon and its menu while recording.

W=1280 H=720
BITRATE=$((4 * W * H))
MOVIE_NAME='Vistrel-[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\.mp4'
# The pointer rests in the bottom-right corner, on the tray panel but away
# from the icon (whose tooltip would come and go): drawn into our frames only,
# and blanked in both pictures compared.
POINTER_X=1250 POINTER_Y=705

now() { echo "${EPOCHREALTIME/,/.}"; }
# calc <awk expression>: a number.
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
# holds <awk condition>: true when the condition holds.
holds() { awk "BEGIN { exit !($1) }"; }

record_lines() { log_since "$1" | grep 'record ' || true; }
# wait_record_line <offset> <what> <kind>: waits for one "record <kind>" line since the offset; sets RECORD_LINE.
wait_record_line() {
  # shellcheck disable=SC2317 # called through wait_for
  logged() { record_lines "$1" | grep -q "record $2"; }
  wait_for 20 "$2: the 'record $3' line" logged "$1" "$3"
  RECORD_LINE=$(record_lines "$1" | grep "record $3")
}

movies() { find "$SHOTS" -mindepth 1 -maxdepth 1 -name '*.mp4' 2>/dev/null | sort; }
# probe <file> <entries>: ffprobe's value of one stream or format entry.
probe() { ffprobe -v error -select_streams v:0 -show_entries "$2" -of default=noprint_wrappers=1:nokey=1 "$1"; }

# check_movie <what> <file> <WxH>: H.264 High of that size at 30 fps or less, with no decoding error.
check_movie() {
  local what=$1 file=$2 size=$3 frames duration errors
  [[ ${file##*/} =~ ^$MOVIE_NAME$ ]] || fail "$what: file name ${file##*/} is not Vistrel-<ISO time>.mp4"
  [ "$(probe "$file" stream=codec_name)" = h264 ] || fail "$what: codec $(probe "$file" stream=codec_name)"
  [ "$(probe "$file" stream=profile)" = High ] || fail "$what: profile $(probe "$file" stream=profile), not High"
  [ "$(probe "$file" stream=width)x$(probe "$file" stream=height)" = "$size" ] \
    || fail "$what: size $(probe "$file" stream=width)x$(probe "$file" stream=height), not $size"
  frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$file")
  duration=$(probe "$file" format=duration)
  holds "$frames / $duration <= 30.01" || fail "$what: $frames frames in $duration s is more than 30 a second"
  errors=$(ffmpeg -v error -i "$file" -f null - 2>&1 | head -n 5)
  [ -z "$errors" ] || fail "$what: decoding reports: $errors"
  MOVIE_FRAMES=$frames MOVIE_DURATION=$duration
}

# rmse <a> <b>: the normalized root-mean-square difference of two pictures (0 to 1).
rmse() {
  local out status=0
  out=$(compare -metric RMSE "$1" "$2" null: 2>&1) || status=$?
  [ "$status" -le 1 ] || fail "compare $1 $2: $out"
  sed -n 's/.*(\(.*\)).*/\1/p' <<<"$out"
}

# The desktop: waves over the upper half (every pixel changes every frame),
# the root's colour below (the states the frames are checked against), and a
# terminal with still text over part of it.
xsetroot -solid '#5a7896'
"$ANIMATOR" --rect ${W}x$((H / 2))+0+0 --fps 30 >"$HARNESS_DIR/animator.out" 2>&1 &
# shellcheck disable=SC2317 # called through wait_for
animator_shown() { grep -q '^window 0x' "$HARNESS_DIR/animator.out"; }
wait_for 20 "the animator's window" animator_shown
xterm -T "Still text" -geometry 70x14+640+430 -e 'ls -l /; exec sleep 1000' 2>/dev/null &
XTERM_PID=$!
# shellcheck disable=SC2317 # called through wait_for
xterm_shown() { [ -n "$(client_windows "$XTERM_PID")" ]; }
wait_for 10 "the xterm window" xterm_shown

start=$(log_offset)
start_vistrel
wait_for_launch "$start"
wait_for 15 "vistrel's icon in the tray" tray_icon_window
xdotool mousemove $POINTER_X $POINTER_Y
sleep 0.3 # the pointer's move and the tray's first paint settle before the idle icon is taken
import -window "$TRAY_ICON" "$HARNESS_DIR/tray-idle.png"

# 1. Ten seconds from the shortcut, in four states of the root's colour.
offset=$(log_offset)
t0=$(now)
xdotool key super+ctrl+alt+r
wait_record_line "$offset" "shortcut recording" start
grep -qE "^.*record start mode=screen screen=\(0,0 ${W}x$H\) cocoa=nil pixelCrop=nil stream=${W}x$H out=${W}x$H display=[0-9]+$" <<<"$RECORD_LINE" \
  || fail "shortcut recording: the start line is $RECORD_LINE"
colours=(5a7896 a04040 40a040 d0b030)
starts=()
for k in 0 1 2 3; do
  xsetroot -solid "#${colours[k]}"
  starts+=("$(calc "$(now) - $t0")")
  sleep 0.5
  import -window root "$HARNESS_DIR/state-$k.png"
  sleep 2
done

# The tray while recording: its icon differs from the idle one, and a
# right-click opens the menu (its rows, "Stop Recording" among them, are the
# menu tests' business; RECORD_TRAY_SCREENSHOT shows them).
import -window "$TRAY_ICON" "$HARNESS_DIR/tray-recording.png"
[ "$(differing_pixels "$HARNESS_DIR/tray-idle.png" "$HARNESS_DIR/tray-recording.png")" -gt 20 ] \
  || fail "the tray icon looks the same while recording"
eval "$(xdotool getwindowgeometry --shell "$TRAY_ICON")"
if [ -n "${RECORD_TRAY_SCREENSHOT:-}" ]; then
  # The panel's corner with the icon, four times enlarged, beside the menu's picture.
  import -window root -crop 120x40+0+$((H - 40)) +repage "$HARNESS_DIR/panel.png"
  convert "$HARNESS_DIR/panel.png" -scale 400% "${RECORD_TRAY_SCREENSHOT%.*}-icon.png"
fi
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
wait_for 10 "the tray menu" menu_open
sleep 0.3 # the menu paints
[ -z "${RECORD_TRAY_SCREENSHOT:-}" ] || import -window root "$RECORD_TRAY_SCREENSHOT"
xdotool key Escape
# shellcheck disable=SC2317 # called through wait_for
menu_closed() { ! menu_open; }
wait_for 10 "the tray menu to close" menu_closed
echo "ok the tray icon shows the recording and its menu opens"

# A plain click on the icon stops.
stop_at=$(calc "$(now) - $t0")
xdotool click 1
wait_record_line "$offset" "shortcut recording" stop-ok
file=$(movies)
[ "$(grep -c . <<<"$file")" -eq 1 ] || fail "shortcut recording: want one movie, have: $file"
grep -qE "record stop-ok frames=[0-9]+ file=${file##*/}$" <<<"$RECORD_LINE" || fail "shortcut recording: the stop line is $RECORD_LINE"
check_movie "shortcut recording" "$file" ${W}x$H
# shellcheck disable=SC2317 # called through wait_for
revealed() { grep -A3 'member=ShowItems' "$HARNESS_DIR/dbus.log" | grep -qF "file://$file"; }
wait_for 10 "the file manager to be asked to show ${file##*/} (D-Bus said: $(cat "$HARNESS_DIR/dbus.log"))" revealed
holds "$MOVIE_DURATION > $stop_at - 0.6 && $MOVIE_DURATION < $stop_at + 0.2" \
  || fail "shortcut recording: $MOVIE_DURATION s long, recorded for $stop_at s"
rate=$(probe "$file" format=bit_rate)
holds "$rate > 0.85 * $BITRATE && $rate < 1.1 * $BITRATE" || fail "shortcut recording: $rate b/s, want about $BITRATE"
echo "ok ${file##*/}: H.264 High ${W}x$H, $MOVIE_FRAMES frames in $MOVIE_DURATION s, $rate b/s (want $BITRATE)"

# Frames from the middle of each state show that state's colour and the still
# text, and no other state's colour: the lower half, pointer blanked.
for k in 0 1 2 3; do
  at=$(calc "${starts[k]} + 1.2")
  ffmpeg -v error -ss "$at" -i "$file" -frames:v 1 -y "$HARNESS_DIR/frame-$k.png"
  for picture in frame-$k state-$k; do
    convert "$HARNESS_DIR/$picture.png" -fill black -draw "rectangle $((POINTER_X - 20)),$((POINTER_Y - 20)) $W,$H" \
      -crop ${W}x$((H / 2))+0+$((H / 2)) +repage "$HARNESS_DIR/$picture-low.png"
  done
done
for k in 0 1 2 3; do
  for j in 0 1 2 3; do
    d=$(rmse "$HARNESS_DIR/frame-$k-low.png" "$HARNESS_DIR/state-$j-low.png")
    if [ "$j" -eq "$k" ]; then
      holds "$d < 0.04" || { cp "$HARNESS_DIR/frame-$k.png" /tmp/record-fail-frame.png; cp "$HARNESS_DIR/state-$k.png" /tmp/record-fail-screen.png
        fail "the frame at $(calc "${starts[k]} + 1.2") s differs from the screen then (RMSE $d; kept as /tmp/record-fail-frame.png and /tmp/record-fail-screen.png)"; }
    else
      holds "$d > 0.1" || fail "the frame at $(calc "${starts[k]} + 1.2") s looks like state $j too (RMSE $d)"
    fi
  done
done
echo "ok decoded frames match the screen at their times"

# 2. An area 301x201 pixels from --action: the video is 300x200; stopped from --action.
rm -f "$SHOTS"/*
xdotool mousemove 100 100
offset=$(log_offset)
# Two override-redirect windows of ours: the overlay and the tray icon (embedded, XEmbed).
start_selection 2 "area recording" hand_over record.area
xdotool mousedown 1 mousemove 250 200 mousemove 401 301 mouseup 1
wait_record_line "$offset" "area recording" start
grep -qE "record start mode=area screen=\(0,0 ${W}x$H\) cocoa=\(100,419 301x201\) pixelCrop=\(100,100 301x201\) stream=${W}x$H out=300x200 display=[0-9]+$" <<<"$RECORD_LINE" \
  || fail "area recording: the start line is $RECORD_LINE"
sleep 2
hand_over record.stop
wait_record_line "$offset" "area recording" stop-ok
check_movie "area recording" "$(movies)" 300x200
echo "ok an area of 301x201 pixels records 300x200"

# 3. Killed while recording: the file plays to within a fragment (a second) of the kill.
rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over record.screen
wait_record_line "$offset" "killed recording" start
t0=$(now)
sleep 4
disown "$VISTREL_PID"  # no "Killed" notice from bash: the kill is the test
kill -KILL "$VISTREL_PID"
killed_at=$(calc "$(now) - $t0")
wait_for 5 "vistrel to end after SIGKILL" vistrel_exited
VISTREL_PID=
file=$(movies)
[ "$(grep -c . <<<"$file")" -eq 1 ] || fail "killed recording: want one movie, have: $file"
duration=$(probe "$file" format=duration)
# A fragment is a second; beyond it, the few frames queued for the encoder and
# the test's own reading of the start (its log poll, the stream's warm-up).
holds "$duration > $killed_at - 1.3 && $duration < $killed_at + 0.3" \
  || fail "killed recording: $duration s long, killed after $killed_at s"
[ "$(probe "$file" stream=profile)" = High ] || fail "killed recording: ffprobe reads no H.264 High stream"
# The kill may cut the fragment being written; the whole ones before it play.
at=$(calc "$killed_at - 1.5")
if ! ffmpeg -v error -ss "$at" -i "$file" -frames:v 1 -y "$HARNESS_DIR/killed.png" 2>"$HARNESS_DIR/killed.err" \
  || [ "$(identify -format '%wx%h' "$HARNESS_DIR/killed.png")" != ${W}x$H ]; then
  fail "killed recording: no frame at $at s: $(head -n 3 "$HARNESS_DIR/killed.err")"
fi
echo "ok a recording killed after $killed_at s plays for $duration s"
echo "record: all passed"
