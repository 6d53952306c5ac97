#!/usr/bin/env bash
# Runs one command on a private X desktop and tears the desktop down again.
#
#   harness.sh [--tray] [--dbus] [--size WxH] [--wm openbox|xfwm4] [--panel] -- command args...
#
# Starts Xvfb on a display number the server picks itself (so parallel runs
# never collide) and a window manager: openbox with the project's own
# configuration (no key or modifier-button bindings), or with --wm xfwm4
# Xfce's, compositing, without its keyboard shortcuts (it keeps its settings
# in xfconf, so it brings a session bus). With --dbus a private session bus,
# with --tray a tray host (tint2, XEmbed), with --panel a 30 px panel along
# the top that reserves its strut (tint2 as a dock). The command runs in a
# process group of its own with DISPLAY, HARNESS_DIR (a scratch folder
# removed at the end) and private HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR, so
# no user settings leak in and two runs never see each other's files or
# instances. Without --dbus the session bus address names a socket that does
# not exist: clients fail to connect at once instead of autolaunching a bus.
#
# On every way out the command's process group and every helper are stopped
# by pid (TERM, a bounded wait, KILL). The helpers also carry a parent-death
# signal, so even a harness killed outright (a CTest timeout) takes them
# along. The exit code is the command's.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
HARNESS_NAME=harness
# shellcheck source=harness.lib.sh
source "$here/harness.lib.sh"

usage() {
  echo "usage: harness.sh [--tray] [--dbus] [--size WxH] [--openbox-rc FILE] [--wm openbox|xfwm4] [--panel]" \
    "-- command args..." >&2
  exit 2
}

tray=0 dbus=0 panel=0 wm=openbox size=1920x1080 openbox_rc=$here/openbox-rc.xml
while [ $# -gt 0 ]; do
  case $1 in
    --tray) tray=1 ;;
    --dbus) dbus=1 ;;
    --panel) panel=1 ;;
    --wm) [ $# -ge 2 ] || usage; wm=$2; shift ;;
    --size) [ $# -ge 2 ] || usage; size=$2; shift ;;
    --openbox-rc) [ $# -ge 2 ] || usage; openbox_rc=$2; shift ;;
    --) shift; break ;;
    *) usage ;;
  esac
  shift
done
[ $# -gt 0 ] || usage
[[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || die "--size wants WxH (for example 1920x1080), not '$size'"
case $wm in
  openbox) ;;
  xfwm4) dbus=1 ;;
  *) die "--wm wants openbox or xfwm4, not '$wm'" ;;
esac

needed=(Xvfb xdpyinfo xprop xwininfo "$wm" setsid setpriv)
[ $dbus -eq 0 ] || needed+=(dbus-daemon)
[ $tray -eq 0 ] && [ $panel -eq 0 ] || needed+=(tint2)
for tool in "${needed[@]}"; do
  command -v "$tool" >/dev/null || die "'$tool' is not installed (run scripts/install-deps.sh)"
done

harness_workdir vistrel-harness
HELPER_LOGS=$workdir

# start_helper <name> <command...>: starts a helper in the background, its
# output in $workdir/<name>.log; it gets SIGTERM should the harness die first.
start_helper() {
  local name=$1
  shift
  setpriv --pdeathsig TERM -- "$@" >"$workdir/$name.log" 2>&1 &
  helpers+=("$!" "$name")
}

export HARNESS_DIR=$workdir
export HOME=$workdir/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export XDG_RUNTIME_DIR=$workdir/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM
export DBUS_SESSION_BUS_ADDRESS=unix:path=$workdir/no-session-bus

# Xvfb writes the display number it chose to the descriptor once it listens.
exec {displayfd}>"$workdir/display"
start_helper xvfb Xvfb -displayfd "$displayfd" -screen 0 "${size}x24" \
  +extension RANDR +extension Composite -nolisten tcp -noreset
exec {displayfd}>&-
display_written() { helper_alive && grep -qx '[0-9]\+' "$workdir/display"; }
poll_until 10 display_written || helper_failed xvfb "Xvfb to choose a display number"
DISPLAY=:$(cat "$workdir/display")
export DISPLAY
poll_until 10 eval 'helper_alive && xdpyinfo >/dev/null 2>&1' || helper_failed xvfb "Xvfb to answer on $DISPLAY"

if [ $dbus -eq 1 ]; then
  # Not --fork: a forked daemon would leave our process tree and outlive a
  # harness that is killed outright.
  exec {busfd}>"$workdir/bus-address"
  start_helper dbus dbus-daemon --session --nofork --print-address="$busfd"
  exec {busfd}>&-
  poll_until 10 eval 'helper_alive && grep -q "^unix:" "$workdir/bus-address"' \
    || helper_failed dbus "the session bus to print its address"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$workdir/bus-address")
  export DBUS_SESSION_BUS_ADDRESS
fi

if [ "$wm" = xfwm4 ]; then
  # xfconfd, started on the session bus, reads the user's channels first.
  channels=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
  mkdir -p "$channels"
  cp "$here/xfwm4-shortcuts.xml" "$channels/xfce4-keyboard-shortcuts.xml"
  start_helper xfwm4 xfwm4 --compositor=on
else
  start_helper openbox openbox --sm-disable --config-file "$openbox_rc"
fi
wm_up() { helper_alive && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll_until 10 wm_up || helper_failed "$wm" "$wm to manage $DISPLAY (_NET_SUPPORTING_WM_CHECK)"

if [ $panel -eq 1 ]; then
  start_helper panel tint2 -c "$here/panel-tint2rc"
  panel_reserved() { helper_alive && xprop -root -notype _NET_WORKAREA 2>/dev/null | grep -q '= 0, 30, '; }
  poll_until 10 panel_reserved || helper_failed panel "the panel's strut in _NET_WORKAREA"
fi

if [ $tray -eq 1 ]; then
  start_helper tint2 tint2 -c "$here/tint2rc"
  # The tray is up when the selection owner tint2 creates carries its tray
  # orientation (the system tray protocol); no command-line tool reads the
  # _NET_SYSTEM_TRAY_S0 owner itself.
  tray_up() {
    helper_alive || return 1
    local w
    for w in $(xwininfo -root -children | grep -o '^ *0x[0-9a-f]*'); do
      xprop -id "$w" _NET_SYSTEM_TRAY_ORIENTATION 2>/dev/null | grep -q '= ' && return 0
    done
    return 1
  }
  poll_until 10 tray_up || helper_failed tint2 "tint2's system tray on $DISPLAY"
fi

# setsid: the command leads a new process group (and session), so all it
# leaves running can be stopped at once. Its parent-death signal covers a
# harness killed outright.
setsid setpriv --pdeathsig TERM -- "$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
exit "$status"
