#!/usr/bin/env bash
# Verifies the program itself on a Wayland desktop with no X server at all (headless sway, Xwayland off, DISPLAY unset): it starts natively; its tray item registers with a StatusNotifierWatcher; snaps of a native window (foot) land to the pixel in sway's tree; a screen capture's file equals a screencopy taken by another client, and the clipboard (read by data control) holds the same PNG; an area drag through a virtual pointer gives exactly the dragged pixels; a 3 s recording plays at the screen's size; on an output added at run time the area overlay is that output's picture dimmed and a drag there gives exactly its pixels.
# Runs inside harness.sh with vistrel, vistrel-wlprobe and lib.sh staged.
set -euo pipefail
# shellcheck source=../lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

VISTREL=$(command -v vistrel)
export VISTREL QT_QPA_PLATFORM=wayland SHELL=/bin/sh
unset DISPLAY
SHOTS=$HOME/Pictures/Vistrel
W=1920 H=1080

[ -z "$(pgrep -x Xwayland || true)" ] || fail "an X server (Xwayland) runs"
for tool in compare identify ffprobe python3 swaymsg foot; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done

cleanup() {
  [ -z "$VISTREL_PID" ] || kill "$VISTREL_PID" 2>/dev/null || true
  [ -z "${WATCHER_PID:-}" ] || kill "$WATCHER_PID" 2>/dev/null || true
  [ -z "${FOOT_PID:-}" ] || kill "$FOOT_PID" 2>/dev/null || true
}
trap cleanup EXIT

# frame <title>: "x y w h" of the window's frame (title bar included) in sway's tree, empty when absent.
frame() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def walk(n):
    if n.get("name") == sys.argv[1] and n.get("pid"):
        r, d = n["rect"], n["deco_rect"]
        print(r["x"], r["y"] - d["height"], r["width"], r["height"] + d["height"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))' "$1"
}
# ours_fullscreen: a window of vistrel covers the output full screen and has the focus.
ours_fullscreen() {
  swaymsg -t get_tree | python3 -c '
import json, sys
found = []
def walk(n):
    if n.get("pid") == int(sys.argv[1]) and n.get("fullscreen_mode") == 1 and n.get("focused"):
        found.append(n)
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))
sys.exit(0 if found else 1)' "$VISTREL_PID"
}
no_fullscreen() { ! ours_fullscreen; }
# overlays_on <output>...: a window of vistrel covers each output full screen.
overlays_on() {
  swaymsg -t get_tree | python3 -c '
import json, sys
covered = set()
def walk(n, output):
    if n.get("type") == "output":
        output = n
    if n.get("pid") == int(sys.argv[1]) and n.get("fullscreen_mode") == 1 and n["rect"] == output["rect"]:
        covered.add(output["name"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c, output)
walk(json.load(sys.stdin), None)
sys.exit(0 if set(sys.argv[2:]) <= covered else 1)' "$VISTREL_PID" "$@"
}
hand_over() {
  local said status=0
  said=$(timeout 10 "$VISTREL" --action "$1" 2>&1) || status=$?
  [ "$status" -eq 0 ] || fail "vistrel --action $1: exit status $status; it said: $said"
}
logged() { log_since "$1" | grep -qE "$2"; }
shots() { find "$SHOTS" -mindepth 1 -maxdepth 1 -name "$1" 2>/dev/null | sort; }
one_shot() { [ "$(shots "$1" | grep -c .)" -eq 1 ]; }
# differing_pixels <a> <b> [compare options]: how many pixels differ.
differing_pixels() {
  local out status=0
  out=$(compare -metric AE "${@:3}" "$1" "$2" null: 2>&1) || status=$?
  [ "$status" -le 1 ] || fail "compare $1 $2: $out"
  echo "${out%% *}"
}
same_pixels() {
  [ "$(identify -format '%wx%h' "$2")" = "$(identify -format '%wx%h' "$3")" ] \
    || fail "$1: $2 is $(identify -format '%wx%h' "$2"), the reference $(identify -format '%wx%h' "$3")"
  local n
  n=$(differing_pixels "$2" "$3")
  [ "$n" = 0 ] || fail "$1: $n pixels differ from the reference"
}

# The tray host: a watcher on the session bus before the program starts.
vistrel-wlprobe watcher >"$HARNESS_DIR/watcher.out" 2>&1 &
WATCHER_PID=$!
wait_for 10 "the StatusNotifierWatcher" grep -q '^ready' "$HARNESS_DIR/watcher.out"

# No editor over the shots; the shortcuts help is not what is tested here.
mkdir -p "$XDG_CONFIG_HOME/vistrel"
echo '{"vistrel.capture.show": false, "vistrel.desktopShortcutsHelpShown": true}' >"$XDG_CONFIG_HOME/vistrel/defaults.json"
start=$(log_offset)
start_vistrel
wait_for_launch "$start"
log_since "$start" | grep -q 'hotkey-grabs-unavailable bindings=' || fail "the launch asked for key grabs on sway"
wait_for 10 "the tray item to register with the watcher" grep -q '^registered ' "$HARNESS_DIR/watcher.out"
echo "ok vistrel runs natively with no X server; its tray item registered"

# Snaps of a native window, read back from sway's tree.
foot --title "snap target" >/dev/null 2>&1 &
FOOT_PID=$!
shown() { [ -n "$(frame "snap target")" ]; }
wait_for 10 "foot's window in sway's tree" shown
snap() {
  local action=$1 want=$2 offset
  offset=$(log_offset)
  hand_over "$action"
  wait_for 10 "$action: its snap-done line" logged "$offset" "snap-done preset=${action#window.} "
  [ "$(frame "snap target")" = "$want" ] || fail "$action: the frame is $(frame "snap target"), want $want"
  echo "ok $action: foot's frame is $want"
}
snap window.leftHalf "0 0 960 1080"
snap window.rightHalf "960 0 960 1080"
snap window.topLeft "0 0 960 540"

# A screen capture against another client's screencopy, and the clipboard's PNG.
offset=$(log_offset)
hand_over capture.screen
wait_for 15 "capture.screen: one PNG in $SHOTS" one_shot '*.png'
SHOT=$(shots '*.png')
vistrel-wlprobe shot "$HARNESS_DIR/screencopy.png"
same_pixels "the screen capture against a screencopy" "$SHOT" "$HARNESS_DIR/screencopy.png"
vistrel-wlprobe clip "$HARNESS_DIR/clipboard.png" >"$HARNESS_DIR/clipboard.types" \
  || fail "the clipboard holds no image: $(cat "$HARNESS_DIR/clipboard.types")"
[ "$(grep '^image/' "$HARNESS_DIR/clipboard.types" | head -n 1)" = image/png ] \
  || fail "image/png is not the first image type on the clipboard: $(cat "$HARNESS_DIR/clipboard.types")"
same_pixels "the clipboard's PNG against the file" "$HARNESS_DIR/clipboard.png" "$SHOT"
echo "ok capture.screen: equal to a screencopy and to the clipboard's PNG"

# An area dragged with a virtual pointer over the full-screen overlay.
rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over capture.area
wait_for 10 "capture.area: the overlay full screen with the focus" ours_fullscreen
vistrel-wlprobe drag 200 150 700 500
wait_for 15 "capture.area: one PNG in $SHOTS" one_shot '*.png'
wait_for 10 "capture.area: the overlay to go" no_fullscreen
SHOT=$(shots '*.png')
log_since "$offset" | grep -qE 'capture-done mode=area rect=\(200,580 500x350\) out=500x350 ' \
  || fail "capture.area: the log says $(log_since "$offset" | grep capture-done)"
convert "$HARNESS_DIR/screencopy.png" -crop 500x350+200+150 +repage "$HARNESS_DIR/area-reference.png"
same_pixels "the area against the screencopy's crop" "$SHOT" "$HARNESS_DIR/area-reference.png"
echo "ok capture.area: exactly the 500x350 dragged pixels"

# A recording of 3 s plays at the screen's size.
offset=$(log_offset)
hand_over record.screen
wait_for 10 "record.screen: its start line" logged "$offset" 'record start '
sleep 3 # the length of the recording, not a synchronisation
hand_over record.stop
wait_for 20 "record.stop: its stop-ok line" logged "$offset" 'record stop-ok '
MOVIE=$(shots '*.mp4')
[ "$(grep -c . <<<"$MOVIE")" -eq 1 ] || fail "want one movie, have: $MOVIE"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$MOVIE")
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$MOVIE")
[ "$size" = ${W}x$H ] || fail "the recording is $size, want ${W}x$H"
python3 -c "import sys; sys.exit(0 if 2.5 <= float('$duration') <= 4.5 else 1)" \
  || fail "the recording lasts $duration s, want about 3"
echo "ok record.screen: $size, $duration s"

# An output added while the program runs: its area overlay shows that output's own picture dimmed, and a
# drag there takes exactly its pixels. sway 1.7 hands a full-screen window's buffer straight to an output the pointer
# is not on, and a screencopy of that output then returns the last picture sway composed: the pointer stays on the new
# output, in the band of the hint, which the comparison leaves out (screencopies here show the pointer).
swaymsg create_output >/dev/null
swaymsg output HEADLESS-2 pos $W 0 res 1280x720 >/dev/null
laid_out() { swaymsg -t get_outputs | grep -q "\"x\": $W,"; }
wait_for 10 "the new output HEADLESS-2 at ($W, 0)" laid_out
swaymsg '[title="^snap target$"] floating disable, move container to output HEADLESS-2' >/dev/null
on_new_output() { [ "$(frame "snap target")" = "$W 0 1280 720" ]; }
wait_for 10 "foot's window on the new output" on_new_output
vistrel-wlprobe move $((W + 640)) 20
# foot redraws at its new size after sway has placed it: its picture is the one two screencopies agree on.
settled() {
  mv -f "$HARNESS_DIR/new-output.png" "$HARNESS_DIR/new-output.last.png" 2>/dev/null || true
  vistrel-wlprobe shot "$HARNESS_DIR/new-output.png" HEADLESS-2
  cmp -s "$HARNESS_DIR/new-output.png" "$HARNESS_DIR/new-output.last.png"
}
wait_for 10 "a settled picture of the new output" settled
rm -f "$SHOTS"/*
offset=$(log_offset)
hand_over capture.area
wait_for 10 "capture.area: overlays full screen on both outputs" overlays_on HEADLESS-1 HEADLESS-2
below_hint=(-crop 1280x620+0+100 +repage)
convert "$HARNESS_DIR/new-output.png" "${below_hint[@]}" -fill black -colorize 45% "$HARNESS_DIR/dimmed-below-hint.png"
# The overlay's first frame there follows its placement by a round trip of the program's.
dimmed_there() {
  vistrel-wlprobe shot "$HARNESS_DIR/new-output-overlay.png" HEADLESS-2
  convert "$HARNESS_DIR/new-output-overlay.png" "${below_hint[@]}" "$HARNESS_DIR/overlay-below-hint.png"
  [ "$(differing_pixels "$HARNESS_DIR/overlay-below-hint.png" "$HARNESS_DIR/dimmed-below-hint.png" -fuzz 1%)" = 0 ]
}
wait_for 10 "the overlay on the new output: its own picture dimmed" dimmed_there
vistrel-wlprobe drag $((W + 20)) 10 $((W + 420)) 310
wait_for 15 "capture.area on the new output: one PNG in $SHOTS" one_shot '*.png'
log_since "$offset" | grep -qE "capture-done mode=area rect=\($((W + 20)),770 400x300\) out=400x300 " \
  || fail "capture.area on the new output: the log says $(log_since "$offset" | grep capture-done)"
convert "$HARNESS_DIR/new-output.png" -crop 400x300+20+10 +repage "$HARNESS_DIR/new-area-reference.png"
same_pixels "the area on the new output against its screencopy's crop" "$(shots '*.png')" "$HARNESS_DIR/new-area-reference.png"
echo "ok capture.area on an output added at run time: dimmed over its own picture; exactly the 400x300 dragged pixels"

stop_vistrel
