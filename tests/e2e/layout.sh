# shellcheck shell=bash
# Helpers for the window-layout end-to-end tests (source after lib.sh).
# Frames are outer frames in root coordinates, "x y w h", read from outside:
# xwininfo's client geometry plus the window manager's _NET_FRAME_EXTENTS,
# less the invisible shadow a client that draws its own decorations announces
# in _GTK_FRAME_EXTENTS: the frame the user sees.

# outer_frame <window>: prints "x y w h".
outer_frame() {
  local info extents shadow l r t b sl sr st sb
  info=$(xwininfo -id "$1") || return 1
  extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$') || extents="0, 0, 0, 0"
  shadow=$(xprop -id "$1" -notype _GTK_FRAME_EXTENTS | grep -o '[0-9][0-9, ]*$') || shadow="0, 0, 0, 0"
  IFS=', ' read -r l r t b <<<"$extents"
  IFS=', ' read -r sl sr st sb <<<"$shadow"
  awk -v l="$((l - sl))" -v r="$((r - sr))" -v t="$((t - st))" -v b="$((b - sb))" '
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

# geometry <snap> "<x y w h>": the target of a snap in root coordinates, from
# the current outer frame, on the visible area AREA ("x y w h"; by default
# the whole 1920x1080 display with no panels).
AREA=${AREA:-"0 0 1920 1080"}
geometry() {
  awk -v s="$1" -v c="$2" -v area="$AREA" 'BEGIN {
    split(area, v, " "); X = v[1]; Y = v[2]; W = v[3]; H = v[4]
    split(c, a, " "); cx = a[1]; cy = a[2]; cw = a[3]; ch = a[4]
    # rectangles in fractions of the area: left, top, width, height
    if (s == "leftHalf") f = "0 0 .5 1"
    else if (s == "rightHalf") f = ".5 0 .5 1"
    else if (s == "topHalf") f = "0 0 1 .5"
    else if (s == "bottomHalf") f = "0 .5 1 .5"
    else if (s == "topLeft") f = "0 0 .5 .5"
    else if (s == "topRight") f = ".5 0 .5 .5"
    else if (s == "bottomLeft") f = "0 .5 .5 .5"
    else if (s == "bottomRight") f = ".5 .5 .5 .5"
    else if (s == "firstThird") f = "0 0 1/3 1"
    else if (s == "centerThird") f = "1/3 0 1/3 1"
    else if (s == "lastThird") f = "2/3 0 1/3 1"
    else if (s == "firstTwoThirds") f = "0 0 2/3 1"
    else if (s == "lastTwoThirds") f = "1/3 0 2/3 1"
    else if (s == "maximize") f = "0 0 1 1"
    if (f != "") {
      split(f, p, " ")
      for (i = 1; i <= 4; i++) { if (split(p[i], q, "/") == 2) p[i] = q[1] / q[2] }
      r = sprintf("%g %g %g %g", X + p[1] * W, Y + p[2] * H, p[3] * W, p[4] * H)
    } else if (s == "almostMaximize") r = sprintf("%g %g %g %g", X + 16, Y + 16, W - 32, H - 32)
    else if (s == "maximizeHeight") r = sprintf("%s %g %s %g", cx, Y, (cw < W ? cw : W), H)
    else if (s == "center") {
      w = cw < W ? cw : W; h = ch < H ? ch : H
      r = sprintf("%.1f %.1f %s %s", X + W / 2 - w / 2, Y + H / 2 - h / 2, w, h)
    } else if (s == "larger" || s == "smaller") {
      d = s == "larger" ? 1 : -1
      sx = W * 0.08 > 32 ? W * 0.08 : 32; sy = H * 0.08 > 32 ? H * 0.08 : 32
      w = cw + d * sx; w = w < 280 ? 280 : w; w = w > W ? W : w
      h = ch + d * sy; h = h < 180 ? 180 : h; h = h > H ? H : h
      x = cx + cw / 2 - w / 2; y = cy + ch / 2 - h / 2
      x = x < X ? X : x; y = y < Y ? Y : y
      x = x + w > X + W ? X + W - w : x; y = y + h > Y + H ? Y + H - h : y
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
