# shellcheck shell=bash
# Helpers for the window-layout end-to-end tests (source after lib.sh).
# Frames are outer frames in root coordinates, "x y w h", read from outside:
# xwininfo's client geometry plus the window manager's _NET_FRAME_EXTENTS.

# outer_frame <window>: prints "x y w h".
outer_frame() {
  local info extents l r t b
  info=$(xwininfo -id "$1") || return 1
  extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$') || extents="0, 0, 0, 0"
  IFS=', ' read -r l r t b <<<"$extents"
  awk -v l="$l" -v r="$r" -v t="$t" -v b="$b" '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
    END { printf "%d %d %d %d\n", x - l, y - t, w + l + r, h + t + b }' <<<"$info"
}

# frame_near <window> "<x y w h>" <tx> <ty> <tw> <th>: true when the outer frame
# is within the tolerances of the expected one (fractions allowed).
frame_near() {
  local frame
  frame=$(outer_frame "$1") || return 1
  awk -v f="$frame" -v e="$2" -v tx="$3" -v ty="$4" -v tw="$5" -v th="$6" 'BEGIN {
    split(f, a, " "); split(e, b, " ")
    d[1] = a[1] - b[1]; d[2] = a[2] - b[2]; d[3] = a[3] - b[3]; d[4] = a[4] - b[4]
    t[1] = tx; t[2] = ty; t[3] = tw; t[4] = th
    for (i = 1; i <= 4; i++) if ((d[i] < 0 ? -d[i] : d[i]) > t[i]) exit 1
    exit 0 }'
}

# settle_of <offset> <snap>: true once the log since <offset> has the snap's
# "snap-done"/"snap-partial" line (or its "already-there"/"no-target" line).
settle_logged() {
  log_since "$1" | grep -qE "(snap-done|snap-partial) preset=$2 |already-there|no-target current="
}

# geometry <snap> "<x y w h>": the target of a snap in root coordinates on the
# 1920x1080 display with no panels, from the current outer frame.
geometry() {
  awk -v s="$1" -v c="$2" 'BEGIN {
    W = 1920; H = 1080; split(c, a, " "); cx = a[1]; cy = a[2]; cw = a[3]; ch = a[4]
    if (s == "leftHalf") r = "0 0 960 1080"
    else if (s == "rightHalf") r = "960 0 960 1080"
    else if (s == "topHalf") r = "0 0 1920 540"
    else if (s == "bottomHalf") r = "0 540 1920 540"
    else if (s == "topLeft") r = "0 0 960 540"
    else if (s == "topRight") r = "960 0 960 540"
    else if (s == "bottomLeft") r = "0 540 960 540"
    else if (s == "bottomRight") r = "960 540 960 540"
    else if (s == "firstThird") r = "0 0 640 1080"
    else if (s == "centerThird") r = "640 0 640 1080"
    else if (s == "lastThird") r = "1280 0 640 1080"
    else if (s == "firstTwoThirds") r = "0 0 1280 1080"
    else if (s == "lastTwoThirds") r = "640 0 1280 1080"
    else if (s == "maximize") r = "0 0 1920 1080"
    else if (s == "almostMaximize") r = "16 16 1888 1048"
    else if (s == "maximizeHeight") r = sprintf("%s 0 %s 1080", cx, (cw < W ? cw : W))
    else if (s == "center") {
      w = cw < W ? cw : W; h = ch < H ? ch : H
      r = sprintf("%.1f %.1f %s %s", W / 2 - w / 2, H / 2 - h / 2, w, h)
    } else if (s == "larger" || s == "smaller") {
      d = s == "larger" ? 1 : -1
      w = cw + d * 153.6; w = w < 280 ? 280 : w; w = w > W ? W : w
      h = ch + d * 86.4; h = h < 180 ? 180 : h; h = h > H ? H : h
      x = cx + cw / 2 - w / 2; y = cy + ch / 2 - h / 2
      x = x < 0 ? 0 : x; y = y < 0 ? 0 : y
      x = x + w > W ? W - w : x; y = y + h > H ? H - h : y
      r = sprintf("%.1f %.1f %.1f %.1f", x, y, w, h)
    }
    print r }'
}

# press <keys...> then wait until the snap's settle line is logged.
press_and_settle() {
  local snap=$1 offset
  shift
  offset=$(log_offset)
  xdotool key "$@"
  wait_for 10 "the $snap settle line" settle_logged "$offset" "$snap"
  LAST_LINES=$(log_since "$offset")
}

# start_test_window <title>: starts the test window program without size
# rules, makes it the active window and sets W to its id.
start_test_window() {
  local out=$HARNESS_DIR/testwindow-$RANDOM.out
  "$TESTWINDOW" --title "$1" --geometry 500x300+300+200 >"$out" &
  # shellcheck disable=SC2317 # called through wait_for
  window_ready() { grep -q '^window 0x' "$out"; }
  wait_for 10 "the test window" window_ready
  W=$(awk '/^window/ { print $2 }' "$out")
  # shellcheck disable=SC2317
  is_active() { xprop -root -notype _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$W")"; }
  xdotool windowactivate "$W" 2>/dev/null || true
  wait_for 10 "the test window to be active" is_active
}
