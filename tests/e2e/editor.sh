#!/usr/bin/env bash
# Verifies the capture editor on a real desktop: a screen capture opens it, titled "Vistrel Capture ...", with the focus; an arrow, a rectangle, a counter (size from its menu), a box blur (style from its menu) and a typed text label dragged and clicked with the pointer end up in the clipboard's PNG after Tab, where they are drawn and nowhere else; Ctrl+S writes them into the shot's file, Ctrl+P pins, Escape and the window manager's close button hide the window; the next capture reuses the same window with the items gone.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"
command -v wmctrl >/dev/null || fail "'wmctrl' is not installed (run scripts/install-deps.sh)"

# Outside the test: EDITOR_SCREENSHOTS names a folder for pictures of the
# editor at work (menus, a drag in progress, the finished markup, a backdrop,
# a crop selection, the text field, the ink menu).
shots_dir=${EDITOR_SCREENSHOTS:-}
# screenshot <name>: the screen into the screenshot folder, when there is one.
screenshot() {
  [ -n "$shots_dir" ] || return 0
  sleep 0.3 # not part of the test: lets the editor paint
  mkdir -p "$shots_dir"
  import -window root "$shots_dir/$1.png"
}

BG=5a7896
xsetroot -solid "#$BG"
# Text to blur: the blur of a plain background would change nothing.
xterm -T "Editor xterm" -geometry 80x20+60+60 -e 'ls -l /; exec sleep 1000' 2>/dev/null &
XTERM_PID=$!
xterm_window() { [ -n "$(client_windows "$XTERM_PID")" ]; }
wait_for 10 "the xterm window" xterm_window

write_settings '{"vistrel.capture.show": true}'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"

editor_window() { xdotool search --pid "$VISTREL_PID" --name '^Vistrel Capture' 2>/dev/null | head -n 1; }
map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ { print $3 }'; }
editor_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$EDITOR" ]; }
editor_gone() { [ "$(map_state "$EDITOR")" = IsUnMapped ]; }
popups() { overlay_windows; }
popup_up() { [ -n "$(popups)" ]; }
popups_gone() { [ -z "$(popups)" ]; }
editor_open_lines() { log_since "$1" | grep 'crop editor-open ' || true; }
editor_opened() { [ -n "$(editor_open_lines "$1")" ]; }

# capture_into_editor <what> <trigger command...>: a screen capture, its plain
# file kept as $HARNESS_DIR/<what>-plain.png; waits for the editor with the
# focus. Sets SHOT and EDITOR.
capture_into_editor() {
  local what=$1 offset
  shift
  rm -f "$SHOTS"/*
  xdotool mousemove 1900 1060
  offset=$(log_offset)
  "$@" || fail "$what: '$*' failed"
  wait_capture "$offset" "$what"
  wait_shot "$what" png PNG
  cp "$SHOT" "$HARNESS_DIR/$what-plain.png"
  wait_for 10 "$what: the crop editor-open line" editor_opened "$offset"
  grep -qE 'crop editor-open stamp=L40 px=1920x1080 win=1190x726$' <<<"$(editor_open_lines "$offset")" \
    || fail "$what: the editor-open line is: $(editor_open_lines "$offset")"
  wait_for 10 "$what: the editor window" eval '[ -n "$(editor_window)" ]'
  EDITOR=$(editor_window)
  wait_for 10 "$what: the editor window to be viewable" eval '[ "$(map_state "$EDITOR")" = IsViewable ]'
  wait_for 10 "$what: the editor window to have the focus" editor_focused
}

# The program ignores a second press of the same shortcut within 0.75 s, and
# a fast machine gets from one capture to the next sooner: the later captures
# come through --action.
capture_into_editor first xdotool key super+shift+1
title=$(xdotool getwindowname "$EDITOR")
[[ $title =~ ^Vistrel\ Capture\ \ ${VISTREL_VERSION//./\\.}\ \([0-9?]+\)\ ·\ L40$ ]] \
  || fail "the window title is '$title'"
echo "ok a screen capture opens the editor: '$title'"

# The picture on the canvas: the box of the background's colour in the window.
import -window "$EDITOR" "$HARNESS_DIR/window.png"
read -r PW PH PX PY <<<"$(convert "$HARNESS_DIR/window.png" -alpha off -fuzz 2% -fill black +opaque "#$BG" \
  -format '%@' info: | tr 'x+' '  ')"
read -r OX OY <<<"$(xwininfo -id "$EDITOR" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }')"
[ "$((PW * 1080 / 1920))" -ge "$((PH - 2))" ] && [ "$((PW * 1080 / 1920))" -le "$((PH + 2))" ] \
  || fail "the picture on the canvas is ${PW}x$PH, not 16:9"
# at <x> <y>: the screen point over picture pixel (x, y).
at() { echo "$((OX + PX + $1 * PW / 1920)) $((OY + PY + $2 * PH / 1080))"; }
# drag <x0> <y0> <x1> <y1> [snapshot]: a pointer drag between picture pixels.
drag() {
  xdotool mousemove $(at "$1" "$2") mousedown 1 mousemove $(at $((($1 + $3) / 2)) $((($2 + $4) / 2))) \
    mousemove $(at "$3" "$4")
  [ -z "${5:-}" ] || screenshot "$5"
  xdotool mouseup 1
}
# choose_row <n> <what>: row n of the menu the last key opened.
choose_row() {
  wait_for 10 "the $2 menu" popup_up
  screenshot "$2-menu"
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
  wait_for 10 "the $2 menu to close" popups_gone
}

drag 1000 250 1400 450                       # arrow, the tool at the start
xdotool key r && drag 1000 600 1400 900      # rectangle
xdotool key c && choose_row 2 counter        # Medium
xdotool mousemove $(at 600 800) click 1      # counter 1
xdotool key b && choose_row 2 blur           # Box
drag 90 110 420 260 blur-drag                # over the xterm's text
xdotool key t mousemove $(at 1500 150) click 1
xdotool type --delay 30 'Hi there'           # letters of tool keys go into the text
xdotool key Return
screenshot markup

# region_differs <a> <b> <x> <y> <w> <h>: how many pixels of the region differ.
region_differs() {
  convert "$1" -crop "$5x$6+$3+$4" +repage "$HARNESS_DIR/region-a.png"
  convert "$2" -crop "$5x$6+$3+$4" +repage "$HARNESS_DIR/region-b.png"
  differing_pixels "$HARNESS_DIR/region-a.png" "$HARNESS_DIR/region-b.png"
}
# check_markup <what> <image>: the items are in the image where they were
# drawn, and a part far from them is untouched.
check_markup() {
  local what=$1 image=$2 plain=$HARNESS_DIR/first-plain.png region n
  [ "$(size_of "$image")" = 1920x1080 ] || fail "$what: the image is $(size_of "$image")"
  for region in "arrow 1190 340 20 20" "rectangle 990 700 20 100" "counter 590 790 20 20" \
    "blur 150 130 200 100" "text 1500 140 100 40"; do
    read -r name x y w h <<<"$region"
    n=$(region_differs "$image" "$plain" "$x" "$y" "$w" "$h")
    [ "$n" -gt 0 ] || fail "$what: no $name: ${w}x$h+$x+$y equals the plain capture"
  done
  n=$(region_differs "$image" "$plain" 1500 600 300 300)
  [ "$n" -eq 0 ] || fail "$what: $n pixels changed far from every item"
}

printf 'text' | xclip -selection clipboard
xdotool key Tab
wait_for 10 "Tab: image/png on the clipboard" clipboard_offers_png
clipboard_png "$HARNESS_DIR/tab.png"
check_markup Tab "$HARNESS_DIR/tab.png"
echo "ok Tab copies the arrow, rectangle, counter, blur and text"

xdotool key ctrl+s
# shellcheck disable=SC2317 # called through wait_for
file_marked() { [ "$(region_differs "$SHOT" "$HARNESS_DIR/first-plain.png" 1190 340 20 20)" -gt 0 ]; }
wait_for 10 "Ctrl+S: the markup in $SHOT" file_marked
check_markup "Ctrl+S" "$SHOT"
[ "$(shots | grep -c .)" -eq 1 ] || fail "Ctrl+S: it wrote a new file instead of the shot's: $(shots | tr '\n' ' ')"
echo "ok Ctrl+S writes the markup over the shot's file"

before=$(visible_windows)
xdotool key ctrl+p
# shellcheck disable=SC2317
pinned() { [ "$(visible_windows | grep -c .)" -gt "$(grep -c . <<<"$before")" ]; }
wait_for 10 "Ctrl+P: a pin window" pinned
PIN=$(comm -13 <(echo "$before") <(visible_windows) | head -n 1)
pin_width=$(xwininfo -id "$PIN" | awk '/  Width:/ { print $2 }')
[ "$pin_width" = 420 ] || fail "Ctrl+P: the pin is $pin_width wide, not 420"
# The pin has the focus; Escape closes it, and the editor gets the focus back
# as a click would give it.
wait_for 10 "Ctrl+P: the pin to have the focus" eval '[ "$(xdotool getwindowfocus)" = "$PIN" ]'
xdotool key Escape
wait_for 10 "the pin to close" eval '[ "$(map_state "$PIN")" != IsViewable ]'
echo "ok Ctrl+P pins the picture"

xdotool windowactivate --sync "$EDITOR"
wait_for 10 "the editor to have the focus again" editor_focused
# A line after the last copy, so the copy Escape makes is a new one.
xdotool key l && drag 200 700 500 700
printf 'text' | xclip -selection clipboard
xdotool key Escape
wait_for 10 "Escape: the editor window to close" editor_gone
wait_for 10 "Escape: image/png on the clipboard" clipboard_offers_png
clipboard_png "$HARNESS_DIR/escape.png"
[ "$(region_differs "$HARNESS_DIR/escape.png" "$HARNESS_DIR/tab.png" 340 690 20 20)" -gt 0 ] \
  || fail "Escape: the clipboard's PNG has no line"
[ "$(region_differs "$HARNESS_DIR/escape.png" "$HARNESS_DIR/tab.png" 900 200 600 800)" -eq 0 ] \
  || fail "Escape: the clipboard's PNG lost the earlier items"
echo "ok Escape copies and closes"

first=$EDITOR
capture_into_editor second hand_over capture.screen
[ "$EDITOR" = "$first" ] || fail "the second capture opened window $EDITOR, not the first one's $first"
printf 'text' | xclip -selection clipboard
xdotool key Tab
wait_for 10 "second Tab: image/png on the clipboard" clipboard_offers_png
clipboard_png "$HARNESS_DIR/second.png"
same_pixels "second Tab: the clipboard against the new plain capture" "$HARNESS_DIR/second.png" "$HARNESS_DIR/second-plain.png"
echo "ok the next capture reuses the window without the items"

# The window manager's close button only hides the window too.
wmctrl -ic "$EDITOR"
wait_for 10 "the window manager's close: the editor window to close" editor_gone
capture_into_editor third hand_over capture.screen
[ "$EDITOR" = "$first" ] || fail "after the window manager's close the capture opened window $EDITOR, not $first"
echo "ok after the window manager's close the next capture reuses the window"

if [ -n "$shots_dir" ]; then
  xdotool key k k
  screenshot backdrop-dark
  xdotool key k k v && drag 300 200 1500 800
  screenshot crop-selection
  xdotool key Escape a t mousemove $(at 700 500) click 1 && xdotool type 'Typing a label'
  screenshot text-field
fi

log_since "$start" | grep -q 'editor-save-failed' && fail "a save failed: $(log_since "$start" | grep editor-save-failed)"
stop_vistrel
kill "$XTERM_PID" 2>/dev/null || true
echo "capture editor: all passed"
