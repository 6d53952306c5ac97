#!/usr/bin/env bash
# Verifies that vistrel's tray icon embeds in a running XEmbed tray (tint2) and that the program still has no managed window.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

xdotool search --class '^tint2$' >/dev/null || fail "the harness's tint2 panel is missing"
start_vistrel
wait_for 15 "vistrel's icon to embed in the tray" tray_icon_window
geometry=$(xwininfo -id "$TRAY_ICON" | sed -n 's/.*-geometry \([0-9]*x[0-9]*\).*/\1/p')
[[ $geometry =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || fail "the tray icon $TRAY_ICON has no size: '$geometry'"
windows=$(client_windows "$VISTREL_PID")
[ -z "$windows" ] || fail "vistrel has managed windows (a taskbar entry): $windows"
stop_vistrel TERM
