#!/usr/bin/env bash
# Verifies that every default layout shortcut, sent with xdotool, lands a window without size increments exactly (within 1 px) at its target, with the log lines of each step; plus already-there, restore back and forth, and the debounce of a double press.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/layout.sh"

start=$(log_offset)
start_vistrel
wait_for_launch "$start"
if log_since "$start" | grep -q hotkey-register-failed; then
  fail "a default shortcut could not be registered: $(log_since "$start" | grep hotkey-register-failed)"
fi

start_test_window "Layout probe"

check_lines() {
  local snap=$1 line
  for line in "hotkey-fired id=" "perform $snap front=" "current="; do
    grep -qF "$line" <<<"$LAST_LINES" || fail "$snap: no \"$line\" line in:
$LAST_LINES"
  done
}

# keys, snap; restore and the display moves are judged against what came before.
steps=(
  "ctrl+alt+Left leftHalf" "ctrl+alt+Right rightHalf" "ctrl+alt+Up topHalf" "ctrl+alt+Down bottomHalf"
  "ctrl+alt+u topLeft" "ctrl+alt+i topRight" "ctrl+alt+j bottomLeft" "ctrl+alt+k bottomRight"
  "ctrl+alt+d firstThird" "ctrl+alt+f centerThird" "ctrl+alt+g lastThird"
  "ctrl+alt+e firstTwoThirds" "ctrl+alt+t lastTwoThirds" "ctrl+alt+c center"
  "ctrl+alt+Return maximize" "ctrl+alt+shift+Return almostMaximize" "ctrl+alt+shift+Up maximizeHeight"
  "ctrl+alt+minus smaller" "ctrl+alt+equal larger" "ctrl+alt+BackSpace restore"
  "ctrl+alt+super+Right nextDisplay" "ctrl+alt+super+Left previousDisplay"
)
previous=$(outer_frame "$W")
for step in "${steps[@]}"; do
  read -r keys snap <<<"$step"
  before=$(outer_frame "$W")
  case $snap in
    restore) expected=$previous ;;
    nextDisplay | previousDisplay) expected=$before ;;
    *) expected=$(geometry "$snap" "$before") ;;
  esac
  press_and_settle "$snap" "$keys"
  check_lines "$snap"
  case $snap in
    nextDisplay | previousDisplay)
      grep -q "no-target current=" <<<"$LAST_LINES" || fail "$snap on one display: no \"no-target\" line" ;;
    *)
      grep -qE "snap-done preset=$snap " <<<"$LAST_LINES" || fail "$snap: no snap-done line in:
$LAST_LINES" ;;
  esac
  frame_near "$W" "$expected" 1 1 1 1 || fail "$snap: frame $(outer_frame "$W"), expected $expected"
  echo "ok $snap: $(outer_frame "$W")"
  previous=$before
done

# A press of another shortcut in between (one that moves nothing on one
# display) ends the debounce of the first, so no test waits out 0.75 s.
in_between() { press_and_settle nextDisplay ctrl+alt+super+Right; }

# The same shortcut twice: the second press finds the window in place.
press_and_settle leftHalf ctrl+alt+Left
in_between
press_and_settle leftHalf ctrl+alt+Left
grep -q "already-there" <<<"$LAST_LINES" || fail "second Left Half: no already-there line in:
$LAST_LINES"

# Snap, restore, restore: back, then forth again.
press_and_settle rightHalf ctrl+alt+Right
press_and_settle restore ctrl+alt+BackSpace
frame_near "$W" "0 0 960 1080" 1 1 1 1 || fail "first restore: $(outer_frame "$W"), expected the left half"
in_between
press_and_settle restore ctrl+alt+BackSpace
frame_near "$W" "960 0 960 1080" 1 1 1 1 || fail "second restore: $(outer_frame "$W"), expected the right half"

# Two presses within 0.75 s: both reach the program, one is performed.
press_and_settle topHalf ctrl+alt+Up ctrl+alt+Up
fired=$(grep -c "hotkey-fired id=" <<<"$LAST_LINES" || true)
performed=$(grep -c "perform topHalf " <<<"$LAST_LINES" || true)
[ "$fired" -eq 2 ] && [ "$performed" -eq 1 ] || fail "double press: $fired fired, $performed performed (want 2 and 1)"

stop_vistrel
echo "layout shortcuts: all passed"
