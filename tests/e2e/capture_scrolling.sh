#!/usr/bin/env bash
# Verifies scrolling capture on real programs that scroll different distances per wheel click (xterm's scroll-back, 5 rows a click; a GTK text view, l3afpad; a Qt text view, featherpad): a drag over a page of numbered lines gives one tall image in which text recognition reads every line from the region's first to the document's last once and in order, with the line pitch unbroken at every seam; Escape typed while another program has the focus ends the scrolling early with the lines gathered so far.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in tesseract l3afpad featherpad od; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done

# Outside the test: SCROLL_SHOTS names a folder to keep the stitched images in.

SCREEN_H=1080
PARK_X=1900 PARK_Y=1060 # where the pointer rests, away from every region

# page <lines> <file>: numbered lines, each with text of its own (24 random
# hex digits) so no two rows look alike.
page() {
  awk -v lines="$1" 'BEGIN { srand(7); for (i = 1; i <= lines; i++) { s = ""
    for (j = 0; j < 24; j++) s = s sprintf("%x", int(rand() * 16)); printf "line %04d %s\n", i, s } }' >"$2"
}

# ink_rows <image> <columns> [percent]: one line per pixel row of the leftmost
# columns, 1 where more than two of them are darker than the percent (40 unless
# given) below white (a text caret alone does not count).
ink_rows() {
  convert "$1" -crop "$2x+0+0" +repage -colorspace gray -negate -threshold "${3:-40}%" -scale '1x!' -depth 8 gray:- \
    | od -An -v -tu1 -w1 | awk -v least=$((2 * 255 / $2)) '{ print ($1 > least) }'
}

# text_lines <image>: "top bottom" of each run of inked rows in the leftmost 60 columns.
text_lines() {
  ink_rows "$1" 60 | awk '$1 && !prev { top = NR - 1 } !$1 && prev { print top, NR - 2 } { prev = $1 }'
}

# text_area <image of a client area>: "top end" of the rows around the
# longest run of text lines of one height at one pitch (the page, not menus or
# toolbars, nor a line the view cuts): from 3 rows above its first line to 3
# rows below its last, short of anything else (a border, a cut line, the
# image's edge) there.
text_area() {
  { ink_rows "$1" 60 5; echo lines; text_lines "$1"; } | awk '
    $0 == "lines" { lines = 1; next }
    !lines { faint[rows++] = $1; next }
    { t[++n] = $1; b[n] = $2 }
    END {
      best = 0
      for (i = 1; i < n; i = j - 1 > i ? j - 1 : j) {
        for (j = i + 1; j <= n && t[j] - t[j - 1] == t[i + 1] - t[i] && b[j] - t[j] == b[i] - t[i]; j++) {}
        if (j - i > best) { best = j - i; first = i; last = j - 1 }
      }
      for (top = t[first]; top > t[first] - 3 && top > 0 && !faint[top - 1]; top--) {}
      for (end = b[last] + 1; end < b[last] + 4 && end < rows && !faint[end]; end++) {}
      print top, end }'
}

# line_numbers <image>: the numbers of the lines text recognition reads, in
# order. Pages stay below line 1000: the leading digit, always a zero, is
# dropped, as recognition reads DejaVu's dotted zero as 6 or 9 at times, or
# not at all.
line_numbers() {
  OMP_THREAD_LIMIT=1 tesseract "$1" - --psm 6 -c tessedit_char_whitelist='line0123456789abcdef ' 2>/dev/null \
    | sed -nE 's/^[^0-9]*[0-9]?([0-9]{3})([^0-9].*)?$/\1/p' | sed -E 's/^0+([0-9])/\1/'
}

# client_box <window>: "x y w h" of the client area in root pixels.
client_box() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }'
}

# shown <pid>: the program's window is managed and viewable; sets PROGRAM_WINDOW.
shown() {
  PROGRAM_WINDOW=$(client_windows "$1" | head -n 1)
  [ -n "$PROGRAM_WINDOW" ] && xwininfo -id "$PROGRAM_WINDOW" 2>/dev/null | grep -q IsViewable
}

# no_red_bar <x y w h>: no banner of featherpad's red (its warning for root) in the box.
no_red_bar() {
  local n
  n=$(import -window root -crop "$3x$4+$1+$2" +repage ppm:- 2>/dev/null \
    | convert ppm:- -fuzz 8% -fill black +opaque '#a03030' -fill white -opaque '#a03030' -format '%[fx:int(mean*w*h)]' info:)
  [ "$n" -eq 0 ]
}

# selection_gone: no screen-sized overlay of ours is up (the tiny window that
# holds the keyboard while scrolling does not count).
selection_gone() {
  local w
  for w in $(overlay_windows); do
    [ "$(xwininfo -id "$w" | awk '/^ *Width:/ { print $NF }')" -le 1 ] || return 1
  done
}

# scrolled_capture <what> <x> <y> <w> <h> [window]: hands over capture.scrolling,
# drags over the region (root pixels) and waits for the result in SHOT; sets
# FIRST_LINE, the first line the region shows before. With a window, once the
# page under the region has moved, focuses that window and types Escape.
scrolled_capture() {
  local what=$1 x=$2 y=$3 w=$4 h=$5 focus=${6:-} offset
  rm -f "$SHOTS"/*
  xdotool mousemove "$PARK_X" "$PARK_Y"
  import -window root -crop "${w}x$h+$x+$y" +repage "$HARNESS_DIR/before.png"
  FIRST_LINE=$(line_numbers "$HARNESS_DIR/before.png" | head -n 1)
  offset=$(log_offset)
  start_selection 1 "$what" hand_over capture.scrolling
  xdotool mousemove "$x" "$y" mousedown 1 mousemove $((x + w / 2)) $((y + h / 2)) mousemove $((x + w)) $((y + h)) mouseup 1
  if [ -n "$focus" ]; then
    # The left part only: the pointer rests at the region's lower right corner.
    # shellcheck disable=SC2317 # called through wait_for
    moved() {
      selection_gone || return 1
      import -window root -crop "200x$h+$x+$y" +repage "$HARNESS_DIR/now.png"
      convert "$HARNESS_DIR/before.png" -crop "200x$h+0+0" +repage "$HARNESS_DIR/before-left.png"
      [ "$(differing_pixels "$HARNESS_DIR/before-left.png" "$HARNESS_DIR/now.png")" -gt 0 ]
    }
    wait_for 10 "$what: the page to scroll" moved
    xdotool windowfocus --sync "$focus" key Escape
  fi
  wait_capture "$offset" "$what"
  expect_line "$what" "capture-done mode=scrolling rect=\($x,$((SCREEN_H - y - h)) ${w}x$h\) out=${w}x[0-9]+ pxScale=1\.000x[0-9.]+ stamp=L40$"
  wait_shot "$what" png PNG
  local out
  out=$(sed -nE 's/.* out=([0-9]+x[0-9]+) .*/\1/p' <<<"$CAPTURE_LINE")
  [ "$(size_of "$SHOT")" = "$out" ] || fail "$what: the file is $(size_of "$SHOT"), the log says $out"
  # The vertical pixel scale is the stitched height over the selected height.
  expect_line "$what" "pxScale=1\.000x$(awk -v out="${out#*x}" -v h="$h" 'BEGIN { printf "%.3f", out / h }' | sed 's/\./\\./') "
  [ -z "${SCROLL_SHOTS:-}" ] || cp "$SHOT" "$SCROLL_SHOTS/$what.png"
}

# check_lines <what> <first> <last>: the shot holds exactly the lines first...last, in order, once each.
check_lines() {
  local what=$1 first=$2 last=$3 numbers expected
  numbers=$(line_numbers "$SHOT" | tr '\n' ' ')
  expected=$(seq "$first" "$last" | tr '\n' ' ')
  [ "$numbers" = "$expected" ] || { cp "$SHOT" /tmp/capture-scrolling-fail.png
    fail "$what: the stitched image (kept as /tmp/capture-scrolling-fail.png) reads lines
  $numbers
want
  $expected"; }
}

# check_pitch <what>: the text lines of the shot (the runs of ink as high as
# most are, not a text cursor or a line cut at the edge) follow each other at
# one pitch: a seam off by even one row would break it.
check_pitch() {
  local what=$1 lines height spacings
  lines=$(text_lines "$SHOT")
  height=$(awk '{ print $2 - $1 }' <<<"$lines" | sort -n | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')
  spacings=$(awk -v height="$height" '$2 - $1 == height { if (n++) print $1 - prev; prev = $1 }' <<<"$lines" \
    | sort -n | uniq -c | awk '{ print $2 "x" $1 }' | tr '\n' ' ')
  [ "$(wc -w <<<"$spacings")" -eq 1 ] || { cp "$SHOT" /tmp/capture-scrolling-fail.png
    fail "$what: line spacings in the stitched image (kept as /tmp/capture-scrolling-fail.png), pixels x count: $spacings"; }
}

# settled: the client area (cx cy cw ch) shows a page of text; sets top and
# bottom, the rows of the client that hold its whole lines (see text_area).
settled() {
  import -window root -crop "${cw}x$ch+$cx+$cy" +repage "$HARNESS_DIR/client.png"
  read -r top bottom <<<"$(text_area "$HARNESS_DIR/client.png")"
  [ -n "$top" ] && [ $((bottom - top)) -gt 300 ]
}

# open_program <what> <x> <y> <command...>: starts the program and places its
# window, 600x480, at (x, y); sets <what>_WINDOW and <what>_PID.
open_program() {
  local what=$1 x=$2 y=$3
  shift 3
  "$@" >"$HARNESS_DIR/$what.log" 2>&1 &
  local pid=$!
  wait_for 15 "$what: its window" shown "$pid"
  xdotool windowsize "$PROGRAM_WINDOW" 600 480 windowmove "$PROGRAM_WINDOW" "$x" "$y"
  printf -v "${what}_WINDOW" %s "$PROGRAM_WINDOW"
  printf -v "${what}_PID" %s "$pid"
}

# text_region <what>: waits until the program's page of text shows and sets
# REGION ("x y w h" in root pixels) from its first line's top to its last
# whole line's bottom, 380 pixels wide from the client's left edge.
text_region() {
  local window=${1}_WINDOW
  read -r cx cy cw ch <<<"$(client_box "${!window}")"
  # Run as root, featherpad shows a warning banner over its text for ten seconds.
  [ "$1" != featherpad ] || wait_for 20 "featherpad: its warning banner to go" no_red_bar "$cx" "$cy" "$cw" "$ch"
  wait_for 10 "$1: its page of text" settled
  REGION="$cx $((cy + top)) 380 $((bottom - top))"
}

# program_case <what> <lines>: a drag over the program's text from its first
# line down to its last whole one captures every line from the first to the
# document's end.
program_case() {
  local what=$1 lines=$2
  text_region "$what"
  # shellcheck disable=SC2086 # four numbers
  scrolled_capture "$what" $REGION
  check_lines "$what" "$FIRST_LINE" "$lines"
  check_pitch "$what"
  echo "ok $what: ${SHOT##*/} $(size_of "$SHOT"), lines $FIRST_LINE...$lines once each, seams exact"
}

write_settings '{"vistrel.capture.show": false, "vistrel.capture.copy": false}'
xsetroot -solid '#5a7896'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"

# Four programs side by side, each on a page of its own.
page 150 "$HARNESS_DIR/page.txt"
page 900 "$HARNESS_DIR/long.txt"
open_program featherpad 1300 40 featherpad "$HARNESS_DIR/page.txt"
open_program xterm 20 40 xterm -fa 'DejaVu Sans Mono' -fs 11 -sl 2000 -e "cat $HARNESS_DIR/page.txt; exec sleep 1000"
open_program l3afpad 660 40 l3afpad "$HARNESS_DIR/page.txt"
open_program long 660 570 l3afpad "$HARNESS_DIR/long.txt"
# xterm's scroll-back shows its end: back to the top with the wheel.
# shellcheck disable=SC2154 # set by open_program
read -r cx cy _ _ <<<"$(client_box "$xterm_WINDOW")"
xdotool mousemove $((cx + 100)) $((cy + 100)) click --repeat 40 --delay 5 4

program_case xterm 150
program_case l3afpad 150
program_case featherpad 150

# Escape while the text view has the focus: the scrolling stops early, and
# the lines gathered so far are all there, in order. The keyboard is ours
# while the page scrolls, so xdotool's Escape reaches us, not the text view.
text_region long
# shellcheck disable=SC2086,SC2154 # four numbers; set by open_program
scrolled_capture "escape" $REGION "$long_WINDOW"
last=$(line_numbers "$SHOT" | tail -n 1)
[ "$last" -lt 600 ] || fail "escape: the capture went on to line $last of 900"
check_lines "escape" "$FIRST_LINE" "$last"
check_pitch "escape"
echo "ok Escape with the text view focused: lines $FIRST_LINE...$last of 900"

log_since "$start" | grep -q capture-grab-failed && fail "an overlay could not grab the input: $(log_since "$start" | grep capture-grab-failed)"
stop_vistrel
echo "scrolling capture: all passed"
