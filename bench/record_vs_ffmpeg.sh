#!/usr/bin/env bash
# Screen recording beside `ffmpeg -f x11grab -c:v libx264 -preset veryfast`,
# in one run: processor seconds per second of video, dropped frames and file
# size, at 1920x1080 and 2880x1800, on "typical" content (a terminal printing
# text on a still desktop) and "worst" content (a full-screen animation that
# changes every pixel every frame). Figures only; it never fails a build.
#
#   bash bench/record_vs_ffmpeg.sh <build dir>          (SECONDS_PER_CASE=60, SIZES="1920x1080 2880x1800")
#
# Each size runs on a private X desktop of its own (tests/e2e/harness.sh);
# the two recorders take turns on the same content, one at a time.
# Vistrel's processor time is its process's from the start line to the stop
# line; its dropped frames are the stream's late ticks plus the frames of the
# other ticks that the writer did not take (its stderr summaries).
# ffmpeg's time is its process's whole run; its dropped frames are the
# duplicates and drops it reports (capture that missed its time). The table
# also goes to /tmp/vistrel-record-bench.txt.
set -euo pipefail
OUT=/tmp/vistrel-record-bench.txt
SECONDS_PER_CASE=${SECONDS_PER_CASE:-60}
TICKS=$(getconf CLK_TCK)

if [ "${1:-}" != --inner ]; then
  build=$(cd "${1:?usage: bash bench/record_vs_ffmpeg.sh <build dir>}" && pwd)
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  : >"$OUT"
  printf '%-30s %9s %9s %12s %10s %10s\n' case cpu-s/s dropped "of frames" "file MB" "Mb/s" | tee -a "$OUT"
  for size in ${SIZES:-1920x1080 2880x1800}; do
    SECONDS_PER_CASE=$SECONDS_PER_CASE bash "$root/tests/e2e/harness.sh" --size "$size" -- \
      bash "$root/bench/record_vs_ffmpeg.sh" --inner "$build" "$size"
  done
  echo "(also in $OUT)"
  exit 0
fi

build=$2 size=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e" && pwd)
source "$here/lib.sh"
export VISTREL=$build/bin/vistrel
movies=$HOME/Pictures/Vistrel
row() { printf '%-30s %9s %9s %12s %10s %10s\n' "$@" | tee -a "$OUT"; }
calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
CONTENT_PIDS=()

set_content() {
  local pid
  for pid in "${CONTENT_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  CONTENT_PIDS=()
  xsetroot -solid '#5a7896'
  case $1 in
    typical)
      # shellcheck disable=SC2016 # Perl's variables, not the shell's
      xterm -geometry 100x40+100+100 -e perl -e '$| = 1; for (my $i = 0; ; $i++) {
        printf "%8d  %s  drwxr-xr-x 2 root root 4096 /usr/share/doc/package-%d\n", $i, scalar localtime, $i * 7 % 997;
        select(undef, undef, undef, 0.025) }' 2>/dev/null &
      CONTENT_PIDS+=($!) ;;
    worst)
      "$build/bin/vistrel-animator" --rect "$size+0+0" --fps 30 >/dev/null 2>&1 &
      CONTENT_PIDS+=($!) ;;
  esac
  sleep 4 # the content is up and running (the animator makes its frames first)
  xdotool mousemove 5 5
}

vistrel_case() {
  local content=$1 offset stderr_offset ticks0 ticks1 file duration stream movie dropped frames
  rm -f "$movies"/*.mp4
  offset=$(log_offset)
  stderr_offset=$(stat -c %s "$VISTREL_STDERR")
  timeout 10 "$VISTREL" --action record.screen
  # shellcheck disable=SC2317 # called through wait_for
  started() { log_since "$offset" | grep -q 'record start'; }
  wait_for 10 "the recording to start" started
  ticks0=$(cpu_ticks "$VISTREL_PID")
  sleep "$SECONDS_PER_CASE"
  timeout 10 "$VISTREL" --action record.stop
  # shellcheck disable=SC2317 # called through wait_for
  stopped() { log_since "$offset" | grep -q 'record stop-ok'; }
  wait_for 60 "the recording to finish" stopped
  ticks1=$(cpu_ticks "$VISTREL_PID")
  file=$(find "$movies" -name '*.mp4' | head -n 1)
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  stream=$(tail -c +"$((stderr_offset + 1))" "$VISTREL_STDERR" | grep 'record stream' | tail -n 1)
  movie=$(tail -c +"$((stderr_offset + 1))" "$VISTREL_STDERR" | grep 'vistrel x11: movie' | tail -n 1)
  field() { sed -n "s/.* $1=\([0-9]*\).*/\1/p" <<<"$2"; }
  # Ticks skipped, and frames of the ticks taken that the writer did not get (no buffer, busy, refused).
  dropped=$(($(field late "$stream") + $(field ticks "$stream") - $(field appended "$movie")))
  frames=$(($(field ticks "$stream") + $(field late "$stream")))
  row "vistrel $content $size" "$(calc "($ticks1 - $ticks0) / $TICKS / $duration")" "$dropped" \
    "$frames" "$(calc "$(stat -c %s "$file") / 1000000" 1)" "$(calc "$(stat -c %s "$file") * 8 / $duration / 1000000" 2)"
  echo "  ($stream; $movie; encoded $(field encoded "$movie") of $(field appended "$movie"))" | tee -a "$OUT"
}

ffmpeg_case() {
  local content=$1 out=$HARNESS_DIR/ffmpeg.mp4 log=$HARNESS_DIR/ffmpeg.log times duration stats dup drop frames
  TIMEFORMAT='%U %S'
  { time ffmpeg -nostdin -y -loglevel info -f x11grab -framerate 30 -video_size "$size" -i "$DISPLAY" \
      -t "$SECONDS_PER_CASE" -c:v libx264 -preset veryfast "$out" 2>"$log"; } 2>"$HARNESS_DIR/ffmpeg.times"
  times=$(tail -n 1 "$HARNESS_DIR/ffmpeg.times")
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out")
  stats=$(tr '\r' '\n' <"$log" | grep '^frame=' | tail -n 1)
  dup=$(sed -n 's/.*dup=\([0-9]*\).*/\1/p' <<<"$stats")
  drop=$(sed -n 's/.*drop=\([0-9]*\).*/\1/p' <<<"$stats")
  frames=$(sed -n 's/^frame= *\([0-9]*\).*/\1/p' <<<"$stats")
  row "ffmpeg veryfast $content $size" "$(calc "($(cut -d' ' -f1 <<<"$times") + $(cut -d' ' -f2 <<<"$times")) / $duration")" \
    "$((${dup:-0} + ${drop:-0}))" "$frames" "$(calc "$(stat -c %s "$out") / 1000000" 1)" \
    "$(calc "$(stat -c %s "$out") * 8 / $duration / 1000000" 2)"
}

offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"
bitrate=$(awk -v s="$size" 'BEGIN { split(s, d, "x"); r = 4 * d[1] * d[2]; print (r < 2000000 ? 2000000 : r) / 1000000 }')
echo "  ($size: Vistrel's bit rate $bitrate Mb/s; ${SECONDS_PER_CASE} s a case; $(nproc) processors; load $(cut -d' ' -f1-3 /proc/loadavg))" | tee -a "$OUT"
for content in typical worst; do
  set_content "$content"
  vistrel_case "$content"
  ffmpeg_case "$content"
done
set_content none
stop_vistrel
