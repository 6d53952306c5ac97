#!/usr/bin/env bash
# Verifies next and previous display and the halves on two Xinerama heads side by side (a nested Xephyr whose RandR sees one output): a window keeps its relative place across heads, halves land on the head it is on, and moves wrap at both ends.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)  # absolute: openbox reads its configuration later
source "$here/lib.sh"
source "$here/two_heads.lib.sh"
source "$here/layout.sh"

command -v Xephyr >/dev/null || fail "'Xephyr' is not installed (run scripts/install-deps.sh)"

# The heads in root coordinates, as Xephyr lays them out; the first, at the
# origin, is the primary. No panels, so each head is its own visible frame.
HEAD1="0 0 1280 800"
HEAD2="1280 0 1024 768"
PRIMARY_HEIGHT=800

start_two_heads

# placed "<frame>" "<from head>" "<onto head>": where a display move puts a
# frame (root coordinates): the centre keeps its relative place, the size is
# capped at the new head and the frame pushed inside it; worked in AppKit
# space, flipped on the primary head's height.
placed() {
  awk -v c="$1" -v a="$2" -v b="$3" -v H="$PRIMARY_HEIGHT" 'BEGIN {
    split(c, C, " "); split(a, A, " "); split(b, B, " ")
    C[2] = H - C[2] - C[4]; A[2] = H - A[2] - A[4]; B[2] = H - B[2] - B[4]
    fx = (C[1] + C[3] / 2 - A[1]) / A[3]; fy = (C[2] + C[4] / 2 - A[2]) / A[4]
    w = C[3] < B[3] ? C[3] : B[3]; h = C[4] < B[4] ? C[4] : B[4]
    x = B[1] + fx * B[3] - w / 2; y = B[2] + fy * B[4] - h / 2
    if (x < B[1]) x = B[1]; if (y < B[2]) y = B[2]
    if (x + w > B[1] + B[3]) x = B[1] + B[3] - w; if (y + h > B[2] + B[4]) y = B[2] + B[4] - h
    printf "%.1f %.1f %d %d\n", x, H - y - h, w, h }'
}

start=$(log_offset)
start_vistrel
wait_for_launch "$start"
if log_since "$start" | grep -q hotkey-register-failed; then
  fail "a default shortcut could not be registered: $(log_since "$start" | grep hotkey-register-failed)"
fi

start_test_window "Two heads probe"
WINDOW_PID=$!
read -r x y w h <<<"$(outer_frame "$W")"
(( x >= 0 && y >= 0 && x + w <= 1280 && y + h <= 800 )) || fail "the test window starts at $x,$y ${w}x$h, not on the first head"

# step <keys> <snap> "<expected frame>": presses the shortcut, waits for the
# snap's settle line and checks snap-done and the frame read from outside.
step() {
  local keys=$1 snap=$2 expected=$3
  press_and_settle "$snap" "$keys"
  grep -qE "snap-done preset=$snap " <<<"$LAST_LINES" || fail "$snap: no snap-done line in:
$LAST_LINES"
  frame_near "$W" "$expected" 1 1 1 1 || fail "$snap: frame $(outer_frame "$W"), expected $expected"
  echo "ok $snap: $(outer_frame "$W")"
}

# Across and back: the window keeps its relative place on each head.
step ctrl+alt+super+Right nextDisplay "$(placed "$(outer_frame "$W")" "$HEAD1" "$HEAD2")"
step ctrl+alt+super+Left previousDisplay "$(placed "$(outer_frame "$W")" "$HEAD2" "$HEAD1")"

# Halves are halves of the head the window is on. The left half of head 1
# keeps its width on head 2 but not its height (768), and is pushed inside.
step ctrl+alt+Left leftHalf "0 0 640 800"
step ctrl+alt+super+Right nextDisplay "1280 0 640 768"
step ctrl+alt+Right rightHalf "1792 0 512 768"
step ctrl+alt+Left leftHalf "1280 0 512 768"

# Next from the right-most head wraps to the left-most (the centre a quarter
# across and half way down, as on head 2); previous from the left-most wraps
# to the right-most.
step ctrl+alt+super+Right nextDisplay "64 16 512 768"
step ctrl+alt+super+Left previousDisplay "1280 0 512 768"

stop_vistrel
echo "layout on two heads: all passed"
