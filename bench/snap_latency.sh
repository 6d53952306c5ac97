#!/usr/bin/env bash
# Snap latency seen from outside: the shortcut (ctrl+alt+Left/Right), against
# the same half-screen moves made with xdotool and wmctrl, for the test window
# and for an xterm (6x13 increments). Figures only; it never fails a build.
#
#   tests/e2e/harness.sh -- bash bench/snap_latency.sh <build dir>
#
# A run's time is from just before the tool starts until the frame (xwininfo
# plus _NET_FRAME_EXTENTS) first shows the value it then keeps for QUIET_MS,
# and for the shortcut also until the settle line is in the log.
set -euo pipefail
build=$(cd "${1:?usage: harness.sh -- bash bench/snap_latency.sh <build dir>}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e" && pwd)
source "$here/lib.sh"
source "$here/layout.sh"
export VISTREL=$build/bin/vistrel TESTWINDOW=$build/bin/vistrel-testwindow
RUNS=${RUNS:-50} QUIET_MS=300 DEADLINE_S=5
OUT=/tmp/vistrel-snap-latency.txt

now_us() { NOW=${EPOCHREALTIME//[.,]/}; }

# frame: sets FRAME to the outer frame "x y w h" of $W; the extents L R T B are
# read once per window, so a poll costs one xwininfo.
re_x='Absolute upper-left X: +(-?[0-9]+)' re_y='Absolute upper-left Y: +(-?[0-9]+)'
re_w='Width: +([0-9]+)' re_h='Height: +([0-9]+)'
frame() {
  local info x y w h
  info=$(xwininfo -id "$W") || return 1
  [[ $info =~ $re_x ]] && x=${BASH_REMATCH[1]}
  [[ $info =~ $re_y ]] && y=${BASH_REMATCH[1]}
  [[ $info =~ $re_w ]] && w=${BASH_REMATCH[1]}
  [[ $info =~ $re_h ]] && h=${BASH_REMATCH[1]}
  FRAME="$((x - L)) $((y - T)) $((w + L + R)) $((h + T + B))"
}

use_window() {
  W=$1
  IFS=', ' read -r L R T B < <(xprop -id "$W" -notype _NET_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$' || echo "0 0 0 0")
  is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$W")"; }
  xdotool windowactivate "$W" 2>/dev/null || true
  wait_for 10 "window $W to be active" is_active
}

# move <tool> <left|right>: one timed move; sets MS (wall, fractional; empty on
# a timeout), LOG_MS (the settle line's ms=, shortcut only) and DEV ("dx dy dw dh").
move() {
  local tool=$1 side=$2 x=0 key=Left preset=leftHalf offset before last start changed settled=0 line deadline
  [ "$side" = right ] && x=960 key=Right preset=rightHalf
  offset=$(log_offset)
  frame
  before=$FRAME last=$FRAME MS='' LOG_MS=-
  now_us; start=$NOW changed=$NOW deadline=$((NOW + DEADLINE_S * 1000000))
  case $tool in
    shortcut) xdotool key "ctrl+alt+$key" ;;
    # Client size (outer less the extents); the position is the frame's
    # top-left, the reference point of NorthWest gravity.
    xdotool) xdotool windowmove "$W" "$x" 0; xdotool windowsize "$W" $((960 - L - R)) $((1080 - T - B)) ;;
    wmctrl) wmctrl -i -r "$W" -e "0,$x,0,$((960 - L - R)),$((1080 - T - B))" ;;
  esac
  [ "$tool" = shortcut ] || settled=$start
  while :; do
    frame
    now_us
    POLLS=$((POLLS + 1))
    [ "$FRAME" = "$last" ] || { last=$FRAME; changed=$NOW; }
    if [ "$settled" = 0 ]; then
      line=$(tail -c +"$((offset + 1))" "$LAYOUT_LOG" | grep -m1 -E "(snap-done|snap-partial) preset=$preset " || true)
      [ -z "$line" ] || { settled=$NOW; LOG_MS=${line##* ms=}; LOG_MS=${LOG_MS%% *}; }
    fi
    if [ "$last" != "$before" ] && [ "$settled" != 0 ] && ((NOW - changed >= QUIET_MS * 1000)); then
      MS=$(awk -v a="$((changed > settled ? changed : settled))" -v s="$start" 'BEGIN { printf "%.1f", (a - s) / 1000 }')
      break
    fi
    ((NOW < deadline)) || break
    sleep 0.005
  done
  POLL_US=$((POLL_US + NOW - start))
  local fx fy fw fh
  read -r fx fy fw fh <<<"$FRAME"
  DEV="$((fx - x)) $fy $((fw - 960)) $((fh - 1080))"
}

# stats: numbers on stdin (one a line) -> "median min max", or "- - -".
stats() {
  sort -n | awk '{ v[++n] = $1 } END {
    if (!n) { print "- - -"; exit }
    printf "%g %g %g\n", n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, v[1], v[n] }'
}

# bench <tool> <window name>: two untimed moves, then RUNS timed ones
# alternating left and right; appends one table row.
bench() {
  local tool=$1 name=$2 i side ms=() logms=() devs=() timeouts=0 med lo hi lmed llo lhi dev
  move "$tool" right
  move "$tool" left
  for ((i = 0; i < RUNS; i++)); do
    side=right
    ((i % 2 == 0)) || side=left
    move "$tool" "$side"
    if [ -n "$MS" ]; then ms+=("$MS"); else timeouts=$((timeouts + 1)); fi
    [ "$LOG_MS" = - ] || logms+=("$LOG_MS")
    devs+=("$DEV")
  done
  read -r med lo hi < <(printf '%s\n' "${ms[@]}" | grep . | stats)
  read -r lmed llo lhi < <(printf '%s\n' "${logms[@]}" | grep . | stats)
  dev=$(printf '%s\n' "${devs[@]}" | awk '{ for (j = 1; j <= 4; j++) { x = $j < 0 ? -$j : $j; if (x > m[j]) m[j] = x } }
    END { printf "%d %d %d %d", m[1], m[2], m[3], m[4] }')
  [ "$lmed" = - ] || lmed="$lmed ($llo-$lhi)"
  ROWS+=("$(printf '%-9s %-11s %8s %8s %8s %5s  %-15s %s' "$tool" "$name" "$med" "$lo" "$hi" "$timeouts" "$lmed" "$dev")")
  echo "done: $tool on $name: $med ms" >&2
}

load_before=$(uptime)
start=$(log_offset)
start_vistrel
wait_for 10 "the hot-key handler line" bash -c "tail -c +$((start + 1)) $LAYOUT_LOG | grep -q 'hotkey-handler status=0'"
ROWS=() POLLS=0 POLL_US=0

start_test_window "Latency probe"
use_window "$W"
for tool in shortcut xdotool wmctrl; do bench "$tool" testwindow; done
xdotool windowclose "$W" 2>/dev/null || true

xterm -T "Latency xterm" -geometry 80x24+200+150 2>"$HARNESS_DIR/xterm.stderr" &
XTERM_PID=$!
xterm_window() { W=$(client_windows "$XTERM_PID" | head -n 1); [ -n "$W" ]; }
wait_for 10 "the xterm window" xterm_window
use_window "$W"
for tool in shortcut xdotool wmctrl; do bench "$tool" xterm; done
kill "$XTERM_PID"
stop_vistrel

{
  echo "snap latency, $RUNS half-screen moves per row (alternating left/right), targets 0 0 960 1080 / 960 0 960 1080 outer"
  echo "ms: from the tool's start until the final frame is seen from outside (and, for the shortcut, the settle line)"
  echo "log ms: the settle line's ms=, median (min-max); maxdev: max |dx| |dy| |dw| |dh| of the outer frame"
  echo "xdotool/wmctrl were given the frame's top-left and the client size (960-L-R x 1080-T-B)"
  printf '%-9s %-11s %8s %8s %8s %5s  %-15s %s\n' tool window median min max t/o "log ms" "maxdev dx dy dw dh"
  printf '%s\n' "${ROWS[@]}"
  echo "one frame poll every $(awk -v t="$POLL_US" -v p="$POLLS" 'BEGIN { printf "%.1f", t / p / 1000 }') ms (the resolution of the ms columns)"
  echo "load before: $load_before"
  echo "load after:  $(uptime)"
} | tee "$OUT"
