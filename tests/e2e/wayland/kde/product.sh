#!/usr/bin/env bash
# Verifies the program itself on KDE Plasma (headless KWin, no X server): it
# picks KWin's roads at launch (window access through scripts, keys through
# the GlobalShortcuts portal); a snap of a native window lands on the left
# half; a screen capture, once a desktop file authorises this copy for
# ScreenShot2, is the screen with the snapped window where the snap put it.
# Runs inside harness.sh --kwin with vistrel, vistrel-testwindow and lib.sh staged.
set -euo pipefail
# shellcheck source=../../lib.sh disable=SC1091
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

VISTREL=$(command -v vistrel)
export VISTREL QT_QPA_PLATFORM=wayland
unset DISPLAY
SHOTS=$HOME/Pictures/Vistrel
GREEN=00aa00

cleanup() {
  [ -z "${VISTREL_PID:-}" ] || kill "$VISTREL_PID" 2>/dev/null || true
  [ -z "${WINDOW_PID:-}" ] || kill "$WINDOW_PID" 2>/dev/null || true
}
trap cleanup EXIT

# KWin answers ScreenShot2 only to a program an installed desktop file names.
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME/vistrel"
printf '[Desktop Entry]\nType=Application\nName=Vistrel (test)\nExec=%s\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n' \
  "$VISTREL" >"$XDG_DATA_HOME/applications/vistrel-test.desktop"
kbuildsycoca5 >/dev/null 2>&1 || fail "kbuildsycoca5 failed"
echo '{"vistrel.capture.show": false}' >"$XDG_CONFIG_HOME/vistrel/defaults.json"

vistrel-testwindow --title "snap target" --geometry 640x480+200+150 --color "#$GREEN" >/dev/null 2>&1 &
WINDOW_PID=$!
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
grep -q 'window access KWin scripts' "$VISTREL_STDERR" || fail "the launch did not pick KWin's window access:
$(cat "$VISTREL_STDERR")"
wait_for 10 "the portal to bind the shortcuts" grep -q 'global shortcuts bound' "$VISTREL_STDERR"
log_since "$start" | grep -q 'capture-launch preflight=true' || fail "ScreenShot2 refused the authorised copy"

logged() { log_since "$1" | grep -qE "$2"; }
# The test window is the active one once KWin has mapped it.
focused() {
  local offset
  offset=$(log_offset)
  timeout 10 "$VISTREL" --action window.leftHalf >/dev/null 2>&1 || return 1
  poll_until 5 logged "$offset" 'snap-(done|partial)|no-usable-window|set-failed|alert' || return 1
  SNAP=$(log_since "$offset" | grep -E 'snap-(done|partial)' || true)
  [ -n "$SNAP" ]
}
wait_for 15 "a snap of the test window" focused
grep -q 'snap-done preset=leftHalf .*actual=(0,0 960x1080)' <<<"$SNAP" || fail "the snap did not land on the left half: $SNAP"
echo "ok snap through KWin scripts: $SNAP"

offset=$(log_offset)
timeout 10 "$VISTREL" --action capture.screen >/dev/null 2>&1 || fail "vistrel --action capture.screen failed"
wait_for 15 "the capture-done line" logged "$offset" 'capture-done mode=screen'
one_shot() { [ "$(find "$SHOTS" -name '*.png' 2>/dev/null | grep -c .)" -eq 1 ]; }
wait_for 10 "the capture's file" one_shot
shot=$(find "$SHOTS" -name '*.png')
[ "$(identify -format '%wx%h' "$shot")" = 1920x1080 ] || fail "the capture is $(identify -format '%wx%h' "$shot")"
pixel() { convert "$shot" -format "%[hex:p{$1,$2}]" info: | cut -c1-6 | tr 'A-F' 'a-f'; }
for point in "100 540" "950 1000"; do
  # shellcheck disable=SC2086 # two coordinates
  [ "$(pixel $point)" = "$GREEN" ] || fail "the capture's left half is not the window at $point"
done
[ "$(pixel 1000 540)" != "$GREEN" ] || fail "the capture shows the window beyond the left half"
echo "ok ScreenShot2 capture: $shot"
echo "KDE Plasma product: all passed"
