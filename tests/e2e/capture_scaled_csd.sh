#!/usr/bin/env bash
# Verifies capture on scaled desktops and of a window that draws its own decorations: with the screen scaled by 2 (Xft.dpi: 192), by 1.5 (QT_SCALE_FACTOR) and by 2 on one of two monitors only (QT_SCREEN_SCALE_FACTORS), a dragged area is exactly the device pixels dragged over, pixel for pixel as import sees them, while the overlay shows the frozen screen one pixel to a device pixel; a picked GTK 4 window with client-side decorations (gnome-calculator under xfwm4's compositor) comes out as the frame the user sees, without the shadow margin it announces in _GTK_FRAME_EXTENTS, pixel for pixel as the screen shows it.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

for tool in xrdb xrandr xsetroot xfwm4 gnome-calculator; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done

# Outside the test: SCALED_OVERLAY_SCREENSHOT and CSD_OVERLAY_SCREENSHOT name
# files for pictures of the area overlay at 1.5 and of the window pick;
# KEEP_SHOTS names a folder to keep the captured files in.

# keep_shot <name>: a copy of the captured file in KEEP_SHOTS.
keep_shot() { [ -z "${KEEP_SHOTS:-}" ] || cp "$SHOT" "$KEEP_SHOTS/$1.png"; }

SCREEN_H=1080

# Sharp detail to drag over: text in an xterm on a plain background.
xsetroot -solid '#5a7896'
xterm -T "Scaled xterm" -geometry 110x45+30+30 -e 'ls -l /usr/bin | head -300; exec sleep 1000' 2>/dev/null &
XTERM_PID=$!
xterm_window() { [ -n "$(client_windows "$XTERM_PID")" ]; }
wait_for 10 "the xterm window" xterm_window

# The editor would cover what the shots are compared with.
write_settings '{"vistrel.capture.show": false}'

# hole_is_screen <x> <y> <w> <h>: the screen shows inside the rectangle (less
# 3 pixels a side for the outline) what it showed before the selection, to the
# pixel, and dims what lies just outside it (a strip above it: black text
# stays black when dimmed, so one pixel is not enough).
hole_is_screen() {
  local x=$1 y=$2 w=$3 h=$4 inner strip
  import -window root "$HARNESS_DIR/during.png"
  inner="$((w - 6))x$((h - 6))+$((x + 3))+$((y + 3))"
  strip="${w}x4+$x+$((y - 10))"
  crop_both "$inner" hole
  [ "$(differing_pixels "$HARNESS_DIR/during-hole.png" "$HARNESS_DIR/before-hole.png")" -eq 0 ] || return 1
  crop_both "$strip" strip
  [ "$(differing_pixels "$HARNESS_DIR/during-strip.png" "$HARNESS_DIR/before-strip.png")" -gt 0 ]
}

# crop_both <geometry> <name>: the same crop of before.png and during.png.
crop_both() {
  convert "$HARNESS_DIR/during.png" -crop "$1" +repage "$HARNESS_DIR/during-$2.png"
  convert "$HARNESS_DIR/before.png" -crop "$1" +repage "$HARNESS_DIR/before-$2.png"
}

# screen_still: two pictures of the screen in a row are the same (a window
# uncovered by the last overlay has repainted); leaves the last in before.png.
screen_still() {
  import -window root "$HARNESS_DIR/still.png"
  local same=1
  [ -f "$HARNESS_DIR/before.png" ] && [ "$(differing_pixels "$HARNESS_DIR/still.png" "$HARNESS_DIR/before.png")" -eq 0 ] && same=0
  mv "$HARNESS_DIR/still.png" "$HARNESS_DIR/before.png"
  return "$same"
}

# scaled_area <what> <scale> <overlays> <x0> <y0> <x1> <y1>: a drag from
# (x0, y0) to (x1, y1) in root pixels over <overlays> selection overlays takes
# exactly those pixels; the log gives the rectangle in root pixels (y up from
# the bottom of the primary) and the editor's scale, the screen's <scale>.
scaled_area() {
  local what=$1 scale=$2 overlays=$3 x0=$4 y0=$5 x1=$6 y1=$7 offset w h
  w=$((x1 - x0)) h=$((y1 - y0))
  rm -f "$SHOTS"/* "$HARNESS_DIR/before.png"
  wait_for 10 "$what: the screen to be still" screen_still
  xdotool mousemove "$x0" "$y0"
  offset=$(log_offset)
  start_selection "$overlays" "$what" hand_over capture.area
  xdotool mousedown 1 mousemove $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove "$x1" "$y1"
  wait_for 10 "$what: the overlay to show the frozen screen to the pixel in the hole and dim around it" \
    hole_is_screen "$x0" "$y0" "$w" "$h"
  if [ -n "${SCALED_OVERLAY_SCREENSHOT:-}" ] && [ "$scale" = 1.500 ]; then
    cp "$HARNESS_DIR/during.png" "$SCALED_OVERLAY_SCREENSHOT"
  fi
  xdotool mouseup 1
  wait_capture "$offset" "$what"
  expect_line "$what" "capture-done mode=area rect=\($x0,$((SCREEN_H - y1)) ${w}x$h\) out=${w}x$h pxScale=${scale//./\\.}x${scale//./\\.} stamp=L40$"
  wait_shot "$what" png PNG
  wait_for 10 "$what: the overlays to go" overlays_gone
  import -window root -crop "${w}x$h+$x0+$y0" +repage "$HARNESS_DIR/root-crop.png"
  same_pixels "$what: the file against import" "$SHOT" "$HARNESS_DIR/root-crop.png"
  keep_shot "area-${scale}-$x0-$y0"
  echo "ok $what: ${w}x$h+$x0+$y0"
}

# Qt scales by Xft.dpi / 96.
xrdb -merge <<<'Xft.dpi: 192'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
scaled_area "Xft.dpi 192 (scale 2)" 2.000 1 400 300 800 600
stop_vistrel
xrdb -remove

# Odd corners fall between logical points at 1.5.
export QT_SCALE_FACTOR=1.5
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
scaled_area "QT_SCALE_FACTOR 1.5" 1.500 1 401 301 853 617
stop_vistrel
unset QT_SCALE_FACTOR

# Two monitors side by side (RandR 1.5 monitors over the one output), the left
# one scaled by 2, the right one not.
xrandr --setmonitor L 960/254x1080/286+0+0 screen >/dev/null
xrandr --setmonitor R 960/254x1080/286+960+0 none >/dev/null
export QT_SCREEN_SCALE_FACTORS='L=2;R=1'
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
scaled_area "left monitor scaled by 2" 2.000 2 101 201 501 611
scaled_area "right monitor not scaled" 1.000 2 1101 201 1501 611
stop_vistrel
unset QT_SCREEN_SCALE_FACTORS
xrandr --delmonitor L >/dev/null
xrandr --delmonitor R >/dev/null

# A window with client-side decorations: GTK draws a shadow margin around it
# only under a compositing manager, and says how wide in _GTK_FRAME_EXTENTS.
kill "$XTERM_PID" 2>/dev/null || true
xfwm4 --replace --compositor=on >"$HARNESS_DIR/xfwm4.log" 2>&1 &
XFWM_PID=$!
# shellcheck disable=SC2317 # called through wait_for
xfwm4_manages() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*$') || return 1
  xprop -id "$check" _NET_WM_NAME 2>/dev/null | grep -q '"Xfwm4"'
}
wait_for 10 "xfwm4 to manage the screen" xfwm4_manages

# No caret blinking and no transitions: the window looks the same when taken and when compared.
mkdir -p "$XDG_CONFIG_HOME/gtk-4.0"
printf '[Settings]\ngtk-cursor-blink=false\ngtk-enable-animations=false\n' >"$XDG_CONFIG_HOME/gtk-4.0/settings.ini"
GSK_RENDERER=cairo gnome-calculator >"$HARNESS_DIR/calculator.log" 2>&1 &
CALCULATOR_PID=$!
# shellcheck disable=SC2317
calculator_shadowed() {
  CALCULATOR=$(client_windows "$CALCULATOR_PID" | head -n 1)
  [ -n "$CALCULATOR" ] && xprop -id "$CALCULATOR" _GTK_FRAME_EXTENTS 2>/dev/null | grep -q '= [1-9]'
}
wait_for 20 "gnome-calculator's window with a shadow margin in _GTK_FRAME_EXTENTS" calculator_shadowed

# visible_frame <window>: "x y w h" of the client less the shadow margin (root pixels).
visible_frame() {
  local l r t b
  IFS=', ' read -r l r t b <<<"$(xprop -id "$1" -notype _GTK_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$')"
  xwininfo -id "$1" | awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
    END { printf "%d %d %d %d\n", x + l, y + t, w - l - r, h - t - b }'
}
# GTK grows the window once its content is laid out, after the first map:
# take the frame only when two reads half a second apart agree.
LAST_FRAME=
# shellcheck disable=SC2317
calculator_settled() {
  local now
  now=$(visible_frame "$CALCULATOR")
  [ "$now" = "$LAST_FRAME" ] && return 0
  LAST_FRAME=$now
  sleep 0.5
  return 1
}
wait_for 20 "gnome-calculator's frame to settle" calculator_settled
read -r vx vy vw vh <<<"$LAST_FRAME"
# The pointer rests on the calculator's display, which no hover changes.
xdotool mousemove $((vx + vw / 2)) $((vy + 90))
rm -f "$SHOTS"/*
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
offset=$(log_offset)
start_selection 1 "CSD window" hand_over capture.window
if [ -n "${CSD_OVERLAY_SCREENSHOT:-}" ]; then
  sleep 0.3 # not part of the test: lets the overlay paint the highlight
  import -window root "$CSD_OVERLAY_SCREENSHOT"
fi
# The frame the log must name is the one the window has when it is picked.
LAST_FRAME=
wait_for 20 "gnome-calculator's frame to stay put" calculator_settled
read -r vx vy vw vh <<<"$LAST_FRAME"
xdotool click 1
wait_capture "$offset" "CSD window"
expect_line "CSD window" "capture-done mode=window windowID=$((CALCULATOR)) frame=\($vx,$((SCREEN_H - vy - vh)) ${vw}x$vh\) out=${vw}x$vh pxScale=1\.000x1\.000 stamp=L40$"
wait_shot "CSD window" png PNG
wait_for 10 "CSD window: the overlays to go" overlays_gone
import -window root -crop "${vw}x$vh+$vx+$vy" +repage "$HARNESS_DIR/root-crop.png"
same_pixels "CSD window: the file against import" "$SHOT" "$HARNESS_DIR/root-crop.png"
keep_shot csd-window
echo "ok CSD window: ${vw}x$vh+$vx+$vy, without the shadow margin $(xprop -id "$CALCULATOR" -notype _GTK_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$')"

stop_vistrel
kill "$CALCULATOR_PID" "$XFWM_PID" 2>/dev/null || true
echo "scaled and client-decorated capture: all passed"
