# shellcheck shell=bash
# Helpers for the still-capture end-to-end tests (source after lib.sh).
# Images are checked from outside: files with identify, the screen with
# import, pixels with compare, the clipboard with xclip.

SHOTS=$HOME/Pictures/Vistrel
SHOT_NAME='Vistrel-[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z'

for tool in import compare convert identify xclip xdotool; do
  command -v "$tool" >/dev/null || fail "'$tool' is not installed (run scripts/install-deps.sh)"
done

# write_settings <json>: the settings file the program reads at start.
write_settings() {
  mkdir -p "$XDG_CONFIG_HOME/vistrel"
  printf '%s\n' "$1" >"$XDG_CONFIG_HOME/vistrel/defaults.json"
}

# visible_windows: the viewable windows of the running vistrel, sorted.
visible_windows() {
  { xdotool search --all --pid "$VISTREL_PID" --onlyvisible --name '' 2>/dev/null || true; } | sort
}

# overlay_windows: the viewable override-redirect windows of the running vistrel.
overlay_windows() {
  local w
  for w in $(visible_windows); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && echo "$w"
  done
}

# overlays_up <count>: <count> overlays are viewable and one of them has the
# input focus (so keys reach the selection).
overlays_up() {
  local overlays focus
  overlays=$(overlay_windows)
  [ "$(grep -c . <<<"$overlays")" -eq "$1" ] || return 1
  focus=$(xdotool getwindowfocus 2>/dev/null) || return 1
  grep -qx "$focus" <<<"$overlays"
}

overlays_gone() { [ -z "$(overlay_windows)" ]; }

# start_selection <count> <what> <trigger command...>: runs the trigger and
# waits for the <count> selection overlays.
start_selection() {
  local count=$1 what=$2
  shift 2
  "$@" || fail "$what: '$*' failed"
  wait_for 10 "$what: the selection overlays to appear with the input focus" overlays_up "$count"
}

# hand_over <action id> [options...]: `vistrel --action <id>` hands the action to the running copy.
hand_over() {
  local status=0 said
  said=$(timeout 10 "$VISTREL" --action "$@" 2>&1) || status=$?
  [ "$status" -eq 0 ] || fail "vistrel --action $*: exit status $status; it said: $said"
}

capture_lines() { log_since "$1" | grep 'capture-done ' || true; }
capture_logged() { [ -n "$(capture_lines "$1")" ]; }

# wait_capture <offset> <what>: waits for one capture-done line since the
# offset; sets CAPTURE_LINE.
wait_capture() {
  wait_for 15 "$2: the capture-done line" capture_logged "$1"
  CAPTURE_LINE=$(capture_lines "$1")
  [ "$(grep -c . <<<"$CAPTURE_LINE")" -eq 1 ] || fail "$2: more than one capture-done line:
$CAPTURE_LINE"
}

# expect_line <what> <extended regex>: CAPTURE_LINE matches.
expect_line() {
  grep -qE "$2" <<<"$CAPTURE_LINE" || fail "$1: the log line
  $CAPTURE_LINE
does not match
  $2"
}

shots() { find "$SHOTS" -mindepth 1 -maxdepth 1 2>/dev/null | sort; }
one_shot() { [ "$(shots | grep -c .)" -eq 1 ]; }

# wait_shot <what> <ext> <identify format>: waits for the one file in the
# screenshots folder, checks its name and format; sets SHOT.
wait_shot() {
  local what=$1 ext=$2 format=$3
  wait_for 10 "$what: one file in $SHOTS (now: $(shots | tr '\n' ' '))" one_shot
  SHOT=$(shots)
  [[ ${SHOT##*/} =~ ^$SHOT_NAME\.$ext$ ]] || fail "$what: file name ${SHOT##*/} is not Vistrel-<ISO time>.$ext"
  [ "$(identify -format '%m' "$SHOT")" = "$format" ] || fail "$what: $SHOT is $(identify "$SHOT"), not $format"
}

# size_of <image>: WxH.
size_of() { identify -format '%wx%h' "$1"; }

# differing_pixels <a> <b>: how many pixels differ (compare's absolute error count).
differing_pixels() {
  local out status=0
  out=$(compare -metric AE "$1" "$2" null: 2>&1) || status=$?
  if [ "$status" -gt 1 ] || ! [[ $out =~ ^[0-9.e+]+$ ]]; then fail "compare $1 $2: $out"; fi
  printf '%.0f\n' "$out"
}

# same_pixels <what> <image> <reference>: the images are of one size and every pixel is equal.
same_pixels() {
  local what=$1 a=$2 b=$3 n
  [ "$(size_of "$a")" = "$(size_of "$b")" ] || fail "$what: $a is $(size_of "$a"), the reference $(size_of "$b")"
  n=$(differing_pixels "$a" "$b")
  [ "$n" -eq 0 ] || { cp "$a" /tmp/capture-fail-image.png; cp "$b" /tmp/capture-fail-reference.png
    fail "$what: $n pixels differ from the reference (kept as /tmp/capture-fail-image.png and /tmp/capture-fail-reference.png)"; }
}

# blank_box <image> <out> <x> <y> <radius>: a copy with a black square around
# (x, y), to compare images that differ only by the pointer drawn into one.
blank_box() {
  convert "$1" -fill black -draw "rectangle $(($3 - $5)),$(($4 - $5)) $(($3 + $5)),$(($4 + $5))" "$2"
}

# pixel_at <image> <x> <y>: the colour as RRGGBB.
pixel_at() { convert "$1" -format '%[hex:p{'"$2,$3"'}]' info: | cut -c1-6; }

clipboard_targets() { timeout 5 xclip -selection clipboard -t TARGETS -o 2>/dev/null; }
clipboard_offers_png() { clipboard_targets | grep -qx image/png; }

# clipboard_png <out>: reads the clipboard's image/png into a file.
clipboard_png() {
  timeout 10 xclip -selection clipboard -t image/png -o >"$1" 2>/dev/null \
    || fail "xclip could not read image/png from the clipboard (targets: $(clipboard_targets | tr '\n' ' '))"
  [ "$(identify -format '%m' "$1" 2>/dev/null)" = PNG ] || fail "the clipboard's image/png is not a PNG: $(file -b "$1")"
}

# check_clipboard <what> <file> [checks...]: the clipboard offers image/png
# and reads back at the file's size; with "first", image/png is the first image
# type offered; with "pixels", the PNG has the file's pixels.
check_clipboard() {
  local what=$1 file=$2 images
  shift 2
  wait_for 10 "$what: image/png on the clipboard" clipboard_offers_png
  if [[ " $* " == *" first "* ]]; then
    images=$(clipboard_targets | grep '^image/')
    [ "$(head -n 1 <<<"$images")" = image/png ] || fail "$what: image/png is not the first image type offered: $images"
  fi
  clipboard_png "$HARNESS_DIR/clipboard.png"
  [ "$(size_of "$HARNESS_DIR/clipboard.png")" = "$(size_of "$file")" ] \
    || fail "$what: the clipboard's PNG is $(size_of "$HARNESS_DIR/clipboard.png"), the file $(size_of "$file")"
  [[ " $* " != *" pixels "* ]] || same_pixels "$what: the clipboard's PNG against the file" "$HARNESS_DIR/clipboard.png" "$file"
}

# start_window <colour> <title> <geometry>: a test window filled with one
# colour; sets WINDOW (its id) and WINDOW_PID.
start_window() {
  local out=$HARNESS_DIR/testwindow-$RANDOM.out
  "$TESTWINDOW" --title "$2" --geometry "$3" --color "$1" >"$out" &
  # shellcheck disable=SC2034 # read by the caller
  WINDOW_PID=$!
  # shellcheck disable=SC2317 # called through wait_for
  window_shown() { grep -q '^window 0x' "$out" && xwininfo -id "$(awk '/^window/ { print $2 }' "$out")" 2>/dev/null | grep -q IsViewable; }
  wait_for 10 "the test window \"$2\"" window_shown
  # shellcheck disable=SC2034
  WINDOW=$(awk '/^window/ { print $2 }' "$out")
}
