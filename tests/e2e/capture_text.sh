#!/usr/bin/env bash
# Verifies "Recognize Text/QR" on a real desktop: a dragged area of a terminal showing known text puts that text on the clipboard and opens the "Copied text" alert; an area showing a QR code puts the code's content on the clipboard.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

command -v qrencode >/dev/null || fail "'qrencode' is not installed (run scripts/install-deps.sh)"
write_settings '{}'
offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"
BASE_WINDOWS=$(visible_windows)

clipboard_text() { timeout 5 xclip -selection clipboard -o 2>/dev/null; }
clipboard_is() { [ "$(clipboard_text)" = "$1" ]; }
# A window of ours that was not there at the start and is no overlay: the alert.
alert_window() {
  comm -13 <(printf '%s\n' "$BASE_WINDOWS") <(visible_windows) | grep -vxF -f <(overlay_windows; echo none) | head -n 1
}
alert_shown() { [ -n "$(alert_window)" ]; }

# recognise <what> <x1> <y1> <x2> <y2> <expected clipboard text>
recognise() {
  local what=$1 expected=$6
  start_selection 1 "$what" hand_over capture.recognizeTextOrQR
  xdotool mousemove "$2" "$3" mousedown 1 mousemove "$(( ($2 + $4) / 2 ))" "$(( ($3 + $5) / 2 ))" \
    mousemove "$4" "$5" mouseup 1
  wait_for 20 "$what: the alert" alert_shown
  poll_until 5 clipboard_is "$expected" \
    || fail "$what: the clipboard holds \"$(clipboard_text)\", expected \"$expected\""
  [ -z "${TEXT_ALERT_SCREENSHOT:-}" ] || import -window root "$TEXT_ALERT_SCREENSHOT-$what.png"
  xdotool key Return
  # shellcheck disable=SC2317 # called through wait_for
  alert_closed() { ! alert_shown; }
  wait_for 10 "$what: the alert to close on Return" alert_closed
}

# Known text in a large, plain terminal font on a light background, the cursor hidden.
xterm -geometry 40x6+100+100 -fa 'DejaVu Sans Mono' -fs 16 -bg white -fg black \
  -e bash -c 'printf "\033[?25lHello Vistrel\nSecond line 42\n"; sleep 100000' &
# The whole tree is read before grep looks: with pipefail a grep -q that stops
# early would fail the pipe.
window_named() { [[ $(xwininfo -root -tree) == *"$1"* ]]; }
wait_for 10 "the terminal" window_named '"xterm"'
sleep 0.5
recognise text 104 122 500 190 $'Hello Vistrel\nSecond line 42'

qrencode -s 6 -m 4 -o "$HARNESS_DIR/code.png" "https://vistrel.example/e2e?n=42"
display -geometry +900+300 "$HARNESS_DIR/code.png" &
wait_for 10 "the QR code window" window_named 'code.png'
sleep 0.5
recognise code 905 325 1095 515 "https://vistrel.example/e2e?n=42"

log_since "$offset" | grep -q 'capture-done' && fail "Recognize Text/QR wrote a capture-done line"
stop_vistrel
echo "capture text: text and QR code read from the screen onto the clipboard"
