#!/usr/bin/env bash
# A long day of use in about ten minutes: the real program under the
# end-to-end harness, driven from outside as a user would, with what it holds
# measured after a warm-up and again at the end. Figures only; it never fails
# a build (it exits non-zero when the program could not be driven, crashed,
# or refused or lost something).
#
#   tests/e2e/harness.sh --tray --dbus -- bash bench/soak.sh build
#
# (or, without the build folder, with VISTREL and TESTWINDOW set as CTest
# sets them for the end-to-end tests; the key presser is then looked for in
# the bench folder beside VISTREL's).
#
# The day, in ROUNDS rounds (10) of equal shares:
#   SNAPS (10000)     Left/Right Half by shortcut, in batches of BATCH (200)
#                     keys sent at once, on two windows by turns;
#   SCREENS (1000)    screen captures into the editor, from the shortcut and
#                     from --action by turns, the editor closed by Escape and
#                     by the window manager's close button by turns;
#   PINS (100)        of those, pinned from the editor (Ctrl+P) and closed;
#   AREAS (200)       area captures dragged over an overlay, into the editor;
#   RECORDINGS (20)   screen recordings of RECORD_SECONDS (2) each;
#   SETTINGS (50)     the settings window opened and closed.
# The same shortcut twice within 0.75 s counts once (the registry's
# debounce), so keys alternate and repeats go through --action.
#
# Printed at the start (after one of everything as warm-up) and at the end:
# resident memory, open descriptors, threads, the X resources of the
# program's connections (xrestop), its shared-memory segments (SysV, POSIX
# under /dev/shm, memfd) and the SysV ones the X server holds, and the log's size.
# Then what was asked against what was done: every capture has its file and
# every file decodes, every recording plays, no shortcut went missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e" && pwd)
if [ $# -gt 0 ]; then
  build=$(cd "$1" && pwd)
  export VISTREL=$build/bin/vistrel TESTWINDOW=$build/bin/vistrel-testwindow
  VISTREL_VERSION=$("$VISTREL" --version | awk '{ print $2 }')
  export VISTREL_VERSION
fi
KEY_BURST=$(dirname "${VISTREL:-.}")/../bench/vistrel-key-burst
source "$here/lib.sh"
source "$here/layout.sh"
source "$here/capture.lib.sh"
for tool in xrestop ipcs wmctrl ffprobe ffmpeg; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done
[ -x "${TESTWINDOW:-}" ] || fail "TESTWINDOW does not name the test window program: '${TESTWINDOW:-}'"
[ -x "$KEY_BURST" ] || fail "no key presser at $KEY_BURST (build the vistrel-key-burst target)"

ROUNDS=${ROUNDS:-10}
SNAPS=${SNAPS:-10000} BATCH=${BATCH:-200}
SCREENS=${SCREENS:-1000} PINS=${PINS:-100} AREAS=${AREAS:-200}
RECORDINGS=${RECORDINGS:-20} RECORD_SECONDS=${RECORD_SECONDS:-2} SETTINGS=${SETTINGS:-50}
OUT=${OUT:-/tmp/vistrel-soak.txt}

# The X server is the harness's child.
XSERVER_PID=$(pgrep -P "$(cat "$HARNESS_DIR/harness.pid")" -x Xvfb || true)

# --- what the program holds ---------------------------------------------------

# xrestop's figures summed over every X connection of the program, as
# "all-clients connections windows pixmaps GCs pictures fonts cursors grabs other pixmap_kB other_kB".
x_resources() {
  xrestop -b -m 1 2>/dev/null | awk -v pid="$VISTREL_PID" '
    function add() { n++; for (k in f) sum[k] += f[k] }
    /^[0-9]+ - / {
      clients++
      if (mine) add()
      delete f
      client = $0
      mine = sub(/.*PID: */, "", client) && client + 0 == pid
      next
    }
    /:/ { key = $0; sub(/^[ \t]*/, "", key); sub(/[ \t]*:.*/, "", key)
          value = $0; sub(/^[^:]*:[ \t~]*/, "", value); f[key] = value + 0 }
    END { if (mine) add()
      printf "%d %d %d %d %d %d %d %d %d %d %.0f %.0f\n", clients, n, sum["windows"], sum["pixmaps"], sum["GCs"], sum["pictures"],
        sum["fonts"], sum["cursors"], sum["passive grabs"], sum["unknowns"], sum["pixmap bytes"] / 1024, sum["other bytes"] / 1024 }'
}

# SysV segments mapped by a process (the X server's too: one it still has
# attached for us is as much a leak as one we keep).
sysv_mapped() { grep -c ' /SYSV' "/proc/$1/maps" 2>/dev/null || true; }
posix_mapped() { grep -c ' /dev/shm/' "/proc/$1/maps" 2>/dev/null || true; }
# Memory shared through file descriptors (Qt's window backing stores, MIT-SHM with fd passing).
memfd_mapped() { grep -c ' /memfd:' "/proc/$1/maps" 2>/dev/null || true; }
# Segments in the system's table that this process made (alive while anyone has them attached).
sysv_created() { ipcs -m -p 2>/dev/null | awk -v pid="$1" '$3 == pid' | grep -c . || true; }

# The heap the program's allocations hold (glibc's malloc_stats, through
# gdb; "-" without gdb): what resident memory is, less what malloc keeps
# free for later, so a leak shows here and a fragmented heap does not.
heap_in_use_kb() {
  command -v gdb >/dev/null || { echo -; return; }
  local before
  before=$(stat -c %s "$VISTREL_STDERR")
  gdb -p "$VISTREL_PID" -batch -nx -ex 'call (void) malloc_stats()' >/dev/null 2>&1 || { echo -; return; }
  tail -c +$((before + 1)) "$VISTREL_STDERR" | awk '/^Total/ { total = 1 } total && /in use bytes/ { print int($NF / 1024); exit }'
}

status_field() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }

# figures <label>: one column of the table, kept as FIG_<label>_<name>.
FIGURES=(rss_kb anon_kb heap_kb fds threads server_clients x_clients x_windows x_pixmaps x_gcs x_pictures x_fonts x_cursors x_grabs
  x_other x_pixmap_kb x_other_kb sysv_mapped sysv_made posix_shm memfd_shm server_sysv log_bytes)
figures() {
  local label=$1 values xr
  # Figures of the program at rest: deferred deletions and the last repaints
  # run on the next turns of the event loop, the program gives its free
  # memory back 5 s after its last capture, and Qt's pooled threads end after
  # 30 s without work.
  sleep 6
  # shellcheck disable=SC2317 # called through poll_until
  pool_idle() { ! grep -qx 'Thread (pooled)' /proc/"$VISTREL_PID"/task/*/comm; }
  poll_until 40 pool_idle || true
  read -r -a xr <<<"$(x_resources)"
  values=("$(status_field "$VISTREL_PID" VmRSS)" "$(status_field "$VISTREL_PID" RssAnon)" "$(heap_in_use_kb)"
    "$(find "/proc/$VISTREL_PID/fd" -mindepth 1 | grep -c .)" "$(status_field "$VISTREL_PID" Threads)"
    "${xr[@]}"
    "$(sysv_mapped "$VISTREL_PID")" "$(sysv_created "$VISTREL_PID")" "$(posix_mapped "$VISTREL_PID")"
    "$(memfd_mapped "$VISTREL_PID")"
    "$( [ -n "$XSERVER_PID" ] && sysv_mapped "$XSERVER_PID" || echo -)" "$(log_offset)")
  local i
  for i in "${!FIGURES[@]}"; do printf -v "FIG_${label}_${FIGURES[i]}" '%s' "${values[i]}"; done
  echo "threads $label: $(sort /proc/"$VISTREL_PID"/task/*/comm | uniq -c | sed 's/^ *\([0-9]*\) \(.*\)/\2 (\1)/' | paste -sd,)"
  echo "figures $label: $(for i in "${!FIGURES[@]}"; do printf '%s=%s ' "${FIGURES[i]}" "${values[i]}"; done)"
}

# --- the desktop ----------------------------------------------------------------

xsetroot -solid '#5a7896'
xterm -T "Soak xterm" -geometry 100x30+700+300 -e 'ls -l /usr/bin | head -100; exec sleep 100000' 2>/dev/null &
xterm_pid=$!
# Mapped before the test windows, so that it takes the focus from none of them.
# shellcheck disable=SC2317 # called through wait_for
xterm_shown() { [ -n "$(client_windows "$xterm_pid")" ]; }
wait_for 10 "the xterm window" xterm_shown
start_test_window "Soak left"
WIN_A=$W
start_test_window "Soak right"
WIN_B=$W

write_settings '{"vistrel.capture.show": true}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
log_since "$start" | grep -q hotkey-register-failed && fail "a shortcut could not be registered: $(log_since "$start" | grep hotkey-register-failed)"
wait_for 15 "the tray icon" tray_icon_window
BASE_OVERLAYS=$(overlay_windows | grep -c . || true)

declare -A seconds_in asked done_count
for k in snaps screens pins areas recordings settings; do seconds_in[$k]=0 asked[$k]=0 done_count[$k]=0; done
now_us() { echo "${EPOCHREALTIME//[.,]/}"; }
# timed <kind> <command...>: runs the command, adding its time to the kind's.
# With TRACE=1, a line with the resident memory after each.
timed() {
  local kind=$1 t0
  shift
  t0=$(now_us)
  "$@"
  seconds_in[$kind]=$(( seconds_in[$kind] + $(now_us) - t0 ))
  [ "${TRACE:-0}" = 0 ] || echo "trace $kind $*: RSS $(status_field "$VISTREL_PID" VmRSS) kB"
}

count_lines() { log_since "$1" | grep -c "$2" || true; }

# --- snaps ----------------------------------------------------------------------------

# Left and Right Half alternate across batches too: the same key twice in a
# row would fall within the debounce.
left_next=1
SNAP_WINDOW=$WIN_A
is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qiw "$(printf '0x%x' "$1")"; }
activate() {
  xdotool windowactivate "$1" 2>/dev/null || true
  wait_for 10 "window $1 to be active" is_active "$1"
}
snap_batch() {
  local count=$1 keys offset last
  SNAP_WINDOW=$([ "$SNAP_WINDOW" = "$WIN_A" ] && echo "$WIN_B" || echo "$WIN_A")
  activate "$SNAP_WINDOW"
  if [ $left_next -eq 1 ]; then keys=(ctrl+alt+Left ctrl+alt+Right); else keys=(ctrl+alt+Right ctrl+alt+Left); fi
  [ $((left_next ^ (count % 2))) -eq 1 ] && last=rightHalf || last=leftHalf
  left_next=$((left_next ^ (count % 2)))
  offset=$(log_offset)
  "$KEY_BURST" "$count" 4 "${keys[@]}"
  # shellcheck disable=SC2317
  all_performed() { [ "$(count_lines "$offset" ' perform [a-zA-Z]* front=')" -ge "$count" ] && settle_logged "$offset" "$last"; }
  poll_until 60 all_performed || true
  asked[snaps]=$((asked[snaps] + count))
  done_count[snaps]=$((done_count[snaps] + $(count_lines "$offset" ' perform [a-zA-Z]* front=vistrel-testwindow')))
  local expected="0 0 960 1080"
  [ "$last" = rightHalf ] && expected="960 0 960 1080"
  frame_near "$SNAP_WINDOW" "$expected" 1 1 1 1 || echo "snaps: window $SNAP_WINDOW ended at $(outer_frame "$SNAP_WINDOW"), not $last" >&2
}

snaps() {
  local left=$1 n
  while [ "$left" -gt 0 ]; do
    n=$((left < BATCH ? left : BATCH))
    snap_batch "$n"
    left=$((left - n))
  done
}

# --- captures and the editor ----------------------------------------------------

EDITOR=
EDITORS_SEEN=()
map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ { print $3 }'; }
editor_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$EDITOR" ]; }
editor_gone() { [ "$(map_state "$EDITOR")" != IsViewable ]; }
logged_since() { log_since "$1" | grep -q "$2"; }

# into_editor <what>: waits for an editor window of ours to have the focus.
# The editor's window is reused from one shot to the next; the windows seen
# are counted.
into_editor() {
  local what=$1
  # shellcheck disable=SC2317 # called through poll_until
  focused_editor() {
    local f
    f=$(xdotool getwindowfocus 2>/dev/null) || return 1
    [ "$f" = "$EDITOR" ] && return 0
    xdotool getwindowname "$f" 2>/dev/null | grep -q '^Vistrel Capture' || return 1
    [ "$(xdotool getwindowpid "$f" 2>/dev/null)" = "$VISTREL_PID" ] || return 1
    EDITOR=$f
  }
  poll_until 10 focused_editor || fail "$what: no editor window has the focus (it is on $(xdotool getwindowfocus 2>/dev/null))"
  [[ " ${EDITORS_SEEN[*]} " == *" $EDITOR "* ]] || EDITORS_SEEN+=("$EDITOR")
}

closes=0
close_editor() {
  if [ $((closes++ % 2)) -eq 0 ]; then xdotool key Escape; else wmctrl -ic "$EDITOR"; fi
  wait_for 10 "the editor to close" editor_gone
}

PIN_BEFORE=
pin_up() { [ "$(visible_windows | grep -c .)" -gt "$(grep -c . <<<"$PIN_BEFORE")" ]; }
pin_from_editor() {
  local pin
  PIN_BEFORE=$(visible_windows)
  xdotool key ctrl+p
  wait_for 10 "Ctrl+P: a pin window" pin_up
  pin=$(comm -13 <(echo "$PIN_BEFORE") <(visible_windows) | head -n 1)
  wait_for 10 "the pin to have the focus" eval '[ "$(xdotool getwindowfocus)" = "$pin" ]'
  xdotool key Escape
  wait_for 10 "the pin to close" eval '[ "$(map_state "$pin")" != IsViewable ]'
  done_count[pins]=$((done_count[pins] + 1))
  xdotool windowactivate "$EDITOR" 2>/dev/null || true
  wait_for 10 "the editor to have the focus again" editor_focused
}

# The shortcut, unless it was pressed less than 0.8 s ago: then --action.
screens_taken=0 screens_by_key=0 screen_key_at=0
screen_capture() {
  local pin=$1 offset
  offset=$(log_offset)
  screens_taken=$((screens_taken + 1))
  if [ $(($(now_us) - screen_key_at)) -gt 800000 ]; then
    screen_key_at=$(now_us)
    screens_by_key=$((screens_by_key + 1))
    xdotool key super+shift+1
  else
    hand_over capture.screen
  fi
  into_editor "screen capture $screens_taken"
  asked[screens]=$((asked[screens] + 1))
  done_count[screens]=$((done_count[screens] + $(count_lines "$offset" 'capture-done mode=screen')))
  if [ "$pin" -eq 1 ]; then
    asked[pins]=$((asked[pins] + 1))
    pin_from_editor
  fi
  close_editor
}

areas_taken=0
area_capture() {
  local offset x0 y0 x1 y1
  x0=$((100 + areas_taken % 7 * 40)) y0=$((80 + areas_taken % 5 * 30))
  x1=$((x0 + 300 + areas_taken % 11 * 20)) y1=$((y0 + 200 + areas_taken % 13 * 15))
  areas_taken=$((areas_taken + 1))
  xdotool mousemove "$x0" "$y0"
  offset=$(log_offset)
  start_selection $((BASE_OVERLAYS + 1)) "area capture $areas_taken" hand_over capture.area
  xdotool mousedown 1 mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove "$x1" "$y1" mouseup 1
  into_editor "area capture $areas_taken"
  asked[areas]=$((asked[areas] + 1))
  done_count[areas]=$((done_count[areas] + $(count_lines "$offset" 'capture-done mode=area')))
  close_editor
}

recording() {
  local offset
  offset=$(log_offset)
  hand_over record.screen
  wait_for 20 "recording: the start line" logged_since "$offset" 'record start '
  sleep "$RECORD_SECONDS"
  hand_over record.stop
  wait_for 20 "recording: the stop-ok line" logged_since "$offset" 'record stop-ok '
  asked[recordings]=$((asked[recordings] + 1))
  done_count[recordings]=$((done_count[recordings] + 1))
}

settings_window() { xdotool search --pid "$VISTREL_PID" --onlyvisible --name '^Settings$' 2>/dev/null | head -n 1; }
settings() {
  local s
  hand_over settings
  wait_for 10 "the settings window" eval '[ -n "$(settings_window)" ]'
  s=$(settings_window)
  # Managed (and so closable by the window manager) once it is the active window.
  wait_for 10 "the settings window to be active" is_active "$s"
  wmctrl -ic "$s"
  wait_for 10 "the settings window to close" eval '[ "$(map_state "$s")" != IsViewable ]'
  asked[settings]=$((asked[settings] + 1))
  done_count[settings]=$((done_count[settings] + 1))
}

# share <total> <round>: this round's part of a total spread over the rounds.
share() { echo $(( $1 * ($2 + 1) / ROUNDS - $1 * $2 / ROUNDS )); }

# one_of_everything: the warm-up; caches, pools and the windows that are reused come to be.
# The two windows are put in their halves first, so that every snap of the
# day moves a window of the right size.
one_of_everything() {
  activate "$WIN_A"
  press_and_settle leftHalf ctrl+alt+Left
  activate "$WIN_B"
  press_and_settle rightHalf ctrl+alt+Right
  timed snaps snaps 20
  timed screens screen_capture 1
  timed screens screen_capture 0
  timed areas area_capture
  timed recordings recording
  timed settings settings
}

t_start=$(now_us)
one_of_everything
figures start

for ((round = 0; round < ROUNDS; round++)); do
  timed snaps snaps "$(share "$SNAPS" "$round")"
  screens=$(share "$SCREENS" "$round") pins=$(share "$PINS" "$round")
  for ((i = 0; i < screens; i++)); do
    # The pins spread over the round's captures.
    timed screens screen_capture $(( pins > 0 && i * pins / screens != (i + 1) * pins / screens ? 1 : 0 ))
  done
  for ((i = 0; i < $(share "$AREAS" "$round"); i++)); do timed areas area_capture; done
  for ((i = 0; i < $(share "$RECORDINGS" "$round"); i++)); do timed recordings recording; done
  for ((i = 0; i < $(share "$SETTINGS" "$round"); i++)); do timed settings settings; done
  echo "round $((round + 1))/$ROUNDS: $(( ($(now_us) - t_start) / 1000000 )) s, RSS $(status_field "$VISTREL_PID" VmRSS) kB"
done

figures end
t_end=$(now_us)

# --- what came out ----------------------------------------------------------------

problems=()
pngs=$(find "$SHOTS" -maxdepth 1 -name 'Vistrel-*.png' | sort)
movies=$(find "$SHOTS" -maxdepth 1 -name 'Vistrel-*.mp4' | sort)
png_count=$(grep -c . <<<"$pngs" || true)
movie_count=$(grep -c . <<<"$movies" || true)
captures=$(count_lines "$start" 'capture-done ')
[ "$png_count" -eq "$captures" ] || problems+=("$captures captures logged, $png_count files")
# identify decodes every image whole; one that does not decode says so on stderr.
undecoded=$(xargs -d '\n' identify -regard-warnings -format '%wx%h\n' <<<"$pngs" 2>&1 >/dev/null | grep -c . || true)
[ "$undecoded" -eq 0 ] || problems+=("$undecoded screenshot files do not decode")
unplayable=0
while IFS= read -r movie; do
  [ -n "$movie" ] || continue
  errors=$(ffmpeg -nostdin -v error -i "$movie" -f null - 2>&1 | head -n 3)
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$movie" </dev/null || true)
  { [ -z "$errors" ] && awk -v d="$duration" -v s="$RECORD_SECONDS" 'BEGIN { exit !(d > s / 2) }'; } \
    || { unplayable=$((unplayable + 1)); echo "unplayable $movie ($duration s): $errors" >&2; }
done <<<"$movies"
[ "$unplayable" -eq 0 ] || problems+=("$unplayable recordings do not play")
recorded=$(count_lines "$start" 'record stop-ok ')
[ "$movie_count" -eq "$recorded" ] || problems+=("$recorded recordings logged, $movie_count files")
for kind in snaps screens pins areas recordings settings; do
  [ "${asked[$kind]}" -eq "${done_count[$kind]}" ] || problems+=("$kind: ${asked[$kind]} asked, ${done_count[$kind]} done")
done
# Every key: the two that put the windows in place, the snaps, the screen captures by shortcut.
fired=$(count_lines "$start" 'hotkey-fired ')
pressed=$((2 + asked[snaps] + screens_by_key))
[ "$fired" -eq "$pressed" ] || problems+=("$pressed shortcuts pressed, $fired reached the program")
refusals=$(log_since "$start" | grep -E -e '-failed |capture-aborted|alert ' || true)
[ -z "$refusals" ] || problems+=("refusals in the log: $(head -n 5 <<<"$refusals")")
vistrel_exited && problems+=("vistrel is gone: $(tail -n 5 "$VISTREL_STDERR")")
# What the program said on stderr besides its start line, its notices about
# the desktop and each recording's statistics (and malloc_stats's report).
said=$(grep -vE '^vistrel [0-9]|^vistrel: notifications unavailable|^vistrel x11: (screen capture reads|record stream|movie )|^(Arena|Total|system bytes|in use bytes|max mmap)' \
  "$VISTREL_STDERR" || true)

{
  echo "Soak: $(( (t_end - t_start) / 1000000 )) s on a ${ROUNDS}-round day, $DISPLAY $(xdpyinfo | awk '/dimensions:/ { print $2 }')"
  printf '%-26s %12s %12s %12s\n' figure start end change
  for name in "${FIGURES[@]}"; do
    a=FIG_start_$name b=FIG_end_$name
    change=-
    [[ ${!a} =~ ^[0-9]+$ && ${!b} =~ ^[0-9]+$ ]] && change=$(( ${!b} - ${!a} ))
    printf '%-26s %12s %12s %12s\n' "$name" "${!a}" "${!b}" "$change"
  done
  echo
  printf '%-26s %8s %8s %12s\n' activity asked "done" seconds
  for kind in snaps screens pins areas recordings settings; do
    seconds=$(( seconds_in[$kind] / 1000000 ))
    [ "$kind" != pins ] || seconds="(in screens)"
    printf '%-26s %8s %8s %12s\n' "$kind" "${asked[$kind]}" "${done_count[$kind]}" "$seconds"
  done
  echo
  echo "shortcuts pressed: $pressed, logged: $fired; screen captures by shortcut: $screens_by_key, by --action: $((screens_taken - screens_by_key))"
  echo "capture files: $png_count PNG ($captures captures logged), $movie_count MP4 ($recorded recordings logged)"
  echo "editor windows seen: ${#EDITORS_SEEN[@]}; other lines on stderr: $(grep -c . <<<"$said" || true)"
  [ -z "$said" ] || sort <<<"$said" | uniq -c | sort -rn | head -n 5
  if [ ${#problems[@]} -eq 0 ]; then echo "nothing refused or lost"; else printf 'PROBLEM: %s\n' "${problems[@]}"; fi
} | tee "$OUT"

[ ${#problems[@]} -eq 0 ] || exit 1
stop_vistrel
echo "written to $OUT"
