#!/usr/bin/env bash
# Verifies the after-capture settings on a real desktop: with copy, save and show off a capture only writes its log line; a screenshots folder that cannot be written still leaves the image on the clipboard, with no file or leftover anywhere and no alert; the automatic format saves an opaque screen as JPEG; and with a clipboard manager running the copied image still pastes after Vistrel quits.
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
source "$here/lib.sh"
source "$here/capture.lib.sh"

command -v xfsettingsd >/dev/null || fail "'xfsettingsd' is not installed (run scripts/install-deps.sh)"

MANAGER_PID=
stop_manager() {
  [ -n "$MANAGER_PID" ] || return 0
  kill -TERM "$MANAGER_PID" 2>/dev/null || return 0
  poll_until 5 eval "! kill -0 $MANAGER_PID 2>/dev/null" || kill -KILL "$MANAGER_PID" 2>/dev/null || true
}
trap stop_manager EXIT

# start_with <settings json>: a fresh copy of vistrel reading these settings.
start_with() {
  write_settings "$1"
  local offset
  offset=$(log_offset)
  start_vistrel
  wait_for_launch "$offset"
  BASE_WINDOWS=$(visible_windows)
}

# capture_twice <what>: two screen captures from --action; the second
# capture-done proves the first one's after-capture steps are over and that
# no alert holds the engine. Sets CAPTURE_LINE to the first line.
capture_twice() {
  local what=$1 offset lines
  offset=$(log_offset)
  hand_over capture.screen
  wait_for 15 "$what: the first capture-done line" capture_logged "$offset"
  hand_over capture.screen
  # shellcheck disable=SC2317 # called through wait_for
  two_logged() { [ "$(capture_lines "$offset" | grep -c .)" -eq 2 ]; }
  wait_for 15 "$what: the second capture-done line" two_logged
  lines=$(capture_lines "$offset")
  CAPTURE_LINE=$(head -n 1 <<<"$lines")
  expect_line "$what" 'capture-done mode=screen display=under-mouse out=1920x1080 pxScale=1\.000x1\.000 stamp=L40$'
  [ "$(visible_windows)" = "$BASE_WINDOWS" ] || fail "$what: vistrel shows windows it did not show before: $(visible_windows | tr '\n' ' ')"
}

# files_named_like_shots <folder> [find options]: every Vistrel-* entry below
# the folder (a finished file or a temporary one beside it).
files_named_like_shots() { find "$1" -xdev "${@:2}" -name 'Vistrel-*' 2>/dev/null || true; }

# 1. Copy, save and show off: only the log lines. The clipboard had no owner
# before and still offers no image.
clipboard_offers_png && fail "before any capture the clipboard already offers image/png"
start_with '{"vistrel.capture.copy": false, "vistrel.capture.save": false, "vistrel.capture.show": false}'
capture_twice "all off"
[ -z "$(files_named_like_shots "$HOME")" ] || fail "all off: files were written: $(files_named_like_shots "$HOME")"
clipboard_offers_png && fail "all off: the clipboard offers image/png: $(clipboard_targets | tr '\n' ' ')"
stop_vistrel
echo "ok copy, save and show off: only the capture-done lines"

# 2. A screenshots folder that exists but refuses every write: the image still
# reaches the clipboard, nothing is left behind, nothing is shown.
start_with '{"vistrel.saveDirectory": "/proc", "vistrel.capture.show": false}'
capture_twice "unwritable folder"
clipboard_png "$HARNESS_DIR/clipboard.png"
[ "$(size_of "$HARNESS_DIR/clipboard.png")" = 1920x1080 ] || fail "unwritable folder: the clipboard's image is $(size_of "$HARNESS_DIR/clipboard.png")"
leftovers=$(find /proc -maxdepth 1 -iname '*vistrel*')
[ -z "$leftovers" ] || fail "unwritable folder: /proc holds $leftovers"
[ -z "$(files_named_like_shots "$HOME")$(files_named_like_shots /tmp -maxdepth 1)" ] \
  || fail "unwritable folder: a file went elsewhere: $(files_named_like_shots "$HOME") $(files_named_like_shots /tmp -maxdepth 1)"
[ -z "$(shots)" ] || fail "unwritable folder: $SHOTS holds $(shots)"
stop_vistrel
echo "ok an unwritable folder: the clipboard has the image, no file anywhere, no alert"

# 3. The automatic format with a clipboard manager running: the opaque screen
# is saved as JPEG, and the PNG on the clipboard outlives the program.
# The manager's shortcuts are emptied so that it grabs no keys of ours.
keys=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-keyboard-shortcuts.xml
mkdir -p "${keys%/*}"
cat >"$keys" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-keyboard-shortcuts" version="1.0"><property name="commands" type="empty"><property name="custom" type="empty"><property name="override" type="bool" value="true"/></property></property></channel>
EOF
xfsettingsd --disable-wm-check >"$HARNESS_DIR/xfsettingsd.log" 2>&1 &
MANAGER_PID=$!
manager_up() {
  kill -0 "$MANAGER_PID" 2>/dev/null || fail "xfsettingsd exited: $(cat "$HARNESS_DIR/xfsettingsd.log")"
  xwininfo -root -tree | grep -q '"xfsettingsd"'
}
wait_for 10 "xfsettingsd's windows" manager_up
# The manager claims CLIPBOARD_MANAGER just after its windows appear; no
# command-line tool reads that selection's owner.
sleep 0.5

start_with '{"vistrel.capture.saveFormat": "auto", "vistrel.capture.show": false}'
offset=$(log_offset)
hand_over capture.screen
wait_capture "$offset" "automatic format"
wait_shot "automatic format" jpg JPEG
check_clipboard "automatic format" "$SHOT" first
cp "$HARNESS_DIR/clipboard.png" "$HARNESS_DIR/clipboard-before-quit.png"
stop_vistrel
# The manager lists the types it kept in an order of its own.
check_clipboard "after quitting, with a clipboard manager" "$SHOT"
same_pixels "after quitting: the kept PNG against the one Vistrel gave" "$HARNESS_DIR/clipboard.png" "$HARNESS_DIR/clipboard-before-quit.png"
echo "ok the automatic format saves JPEG; the clipboard manager keeps the PNG after the program quits"
echo "capture output: all passed"
