#!/usr/bin/env bash
# Runs one command in a private headless sway (or KWin) session and tears it down again.
#
#   harness.sh [--desktop sway|gnome|kwin] [--extension DIR]... [--config FILE] [--stage FILE]... -- command args...
#
# sway refuses to run as root, so the session belongs to an unprivileged user
# (nobody, uid 65534), and so does the command: sway and the command get a
# scratch folder of their own with HOME, the XDG folders and a private
# XDG_RUNTIME_DIR owned by that user, a private session bus, and
# PATH=<staged>:/usr/bin:/bin. The user cannot be expected to read the build
# tree (it may sit under a private home), so every --stage FILE is copied into
# the scratch folder's bin/, which leads PATH: name it by its base name.
#
# sway runs headless (WLR_BACKENDS=headless, the pixman renderer, no input
# devices) with the project's configuration (sway-config here: one
# 1920x1080 output). The command runs in a process group of its own with
# WAYLAND_DISPLAY, SWAYSOCK, HARNESS_DIR (a folder it may write) and the
# session bus set; GTEST_* variables pass through.
#
# With --desktop gnome the compositor is GNOME Shell instead (headless, one
# 1920x1080 virtual monitor, XDG_CURRENT_DESKTOP=GNOME), with a private
# system bus of its own (a second bus daemon), PipeWire and WirePlumber for
# screen casts, and the desktop portals activated on the session bus; the
# command gets no SWAYSOCK. Each --extension DIR (named by its uuid) goes
# into the user's GNOME Shell extensions folder, enabled before the shell starts.
#
# With --desktop kwin (or --kwin) it is KWin (kwin_wayland --virtual, one
# 1920x1080 output, copied into the scratch folder: the installed binary's
# file capability is refused in containers), with XDG_CURRENT_DESKTOP=KDE so that the portal
# picks KDE's backend, and kded5 with its StatusNotifierWatcher module
# (loaded from $VISTREL_KDED_PLUGINS when set: scripts/install-deps.sh puts
# it there); the command gets no SWAYSOCK.
#
# On every way out the command's process group and every helper are stopped
# by pid (TERM, a bounded wait, KILL) and the scratch folder is removed.
# Helpers carry a parent-death signal, so a harness killed outright (a CTest
# timeout) takes them along. The exit code is the command's.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../lib.sh
source "$here/../lib.sh"
HARNESS_NAME="wayland harness"
# shellcheck source=../harness.lib.sh
source "$here/../harness.lib.sh"

usage() {
  echo "usage: harness.sh [--desktop sway|gnome|kwin] [--extension DIR]... [--config FILE] [--stage FILE]... -- command args..." >&2
  exit 2
}

original_args=("$@")
config=$here/sway-config
desktop=sway
extensions=()
staged=()
while [ $# -gt 0 ]; do
  case $1 in
    --desktop) [ $# -ge 2 ] || usage; desktop=$2; shift ;;
    --extension) [ $# -ge 2 ] || usage; extensions+=("$2"); shift ;;
    --config) [ $# -ge 2 ] || usage; config=$2; shift ;;
    --stage) [ $# -ge 2 ] || usage; staged+=("$2"); shift ;;
    --kwin) desktop=kwin ;;
    --) shift; break ;;
    *) usage ;;
  esac
  shift
done
[ $# -gt 0 ] || usage
[ "$(id -u)" -eq 0 ] || die "must start as root: it runs the session as the unprivileged user nobody"

case $desktop in
  sway) tools=(sway swaymsg) ;;
  gnome) tools=(gnome-shell pipewire wireplumber pw-cli gdbus gsettings) ;;
  kwin) tools=(kwin_wayland kded5 dbus-send) ;;
  *) usage ;;
esac
for tool in "${tools[@]}" dbus-daemon setsid setpriv; do
  command -v "$tool" >/dev/null || die "'$tool' is not installed (run scripts/install-deps.sh)"
done
for file in "$config" "${staged[@]}"; do
  [ -f "$file" ] || die "no such file: $file"
done
for dir in "${extensions[@]}"; do
  [ -f "$dir/metadata.json" ] || die "no extension in $dir"
done

# The session runs in a /tmp of its own (a mount namespace): the program's
# diagnostic log is a fixed file there (lib.sh's LAYOUT_LOG) that only its
# owner may append to, and the X11 tier runs as root beside this one.
if [ -z "${VISTREL_WAYLAND_OWN_TMP:-}" ]; then
  export VISTREL_WAYLAND_OWN_TMP=1
  exec unshare --mount --propagation private \
    bash -c 'mount -t tmpfs -o mode=1777 tmpfs /tmp && exec bash "$@"' harness "$here/harness.sh" "${original_args[@]}"
fi

user=65534
as_user=(setpriv --reuid="$user" --regid="$user" --clear-groups)

harness_workdir vistrel-wayland
chmod 755 "$workdir"
HELPER_LOGS=$workdir/logs

# The session's folders, owned by the user; staged programs and the
# configuration stay root's and read-only.
mkdir -p "$workdir/bin" "$workdir/home/.config" "$workdir/home/.cache" "$workdir/home/.local/share" \
  "$workdir/scratch" "$workdir/logs"
mkdir -m 700 "$workdir/runtime"
chown -R "$user:$user" "$workdir/home" "$workdir/scratch" "$workdir/runtime"
for file in "${staged[@]}"; do
  install -m 755 "$file" "$workdir/bin/"
done
install -m 644 "$config" "$workdir/sway-config"

session_env=(
  PATH="$workdir/bin:/usr/bin:/bin"
  HOME="$workdir/home"
  XDG_CONFIG_HOME="$workdir/home/.config" XDG_CACHE_HOME="$workdir/home/.cache"
  XDG_DATA_HOME="$workdir/home/.local/share" XDG_RUNTIME_DIR="$workdir/runtime"
  XDG_SESSION_TYPE=wayland LANG=C.UTF-8
  HARNESS_DIR="$workdir/scratch"
)

# start_helper <name> <command...>: starts a helper as the user, in the
# background, its output in $workdir/logs/<name>.log. The second setpriv sets
# the parent-death signal after the change of user, which would clear it.
start_helper() {
  local name=$1
  shift
  "${as_user[@]}" -- setpriv --pdeathsig TERM -- env -i "${session_env[@]}" "$@" >"$workdir/logs/$name.log" 2>&1 &
  helpers+=("$!" "$name")
}

start_sway() {
  start_helper sway env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway --config "$workdir/sway-config"
  # sway listens on the first free wayland-N and on its IPC socket in the
  # private runtime folder; it is ready once the IPC reports the output's mode.
  sockets_up() {
    helper_alive || return 1
    local display ipc
    display=$(find "$workdir/runtime" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n 1)
    ipc=$(find "$workdir/runtime" -maxdepth 1 -type s -name 'sway-ipc.*.sock' | head -n 1)
    [ -n "$display" ] && [ -n "$ipc" ] || return 1
    WAYLAND_DISPLAY=$display SWAYSOCK=$ipc
  }
  poll_until 10 sockets_up || helper_failed sway "sway's Wayland and IPC sockets in $workdir/runtime"
  session_env+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK")
  output_up() {
    helper_alive && "${as_user[@]}" -- env -i "${session_env[@]}" swaymsg -t get_outputs 2>/dev/null \
      | grep -q '"width": 1920'
  }
  poll_until 10 output_up || helper_failed sway "sway's output to reach 1920x1080 (swaymsg -t get_outputs)"
}

# GNOME Shell wants a system bus (logind, accounts, polkit: all absent, each a
# warning); a second private bus daemon stands in for it.
start_gnome() {
  exec {busfd}>"$workdir/system-bus-address"
  start_helper system-bus dbus-daemon --session --nofork --print-address="$busfd"
  exec {busfd}>&-
  poll_until 10 eval 'helper_alive && grep -q "^unix:" "$workdir/system-bus-address"' \
    || helper_failed system-bus "the system bus to print its address"
  session_env+=(DBUS_SYSTEM_BUS_ADDRESS="$(head -n 1 "$workdir/system-bus-address")" XDG_CURRENT_DESKTOP=GNOME)
  start_helper pipewire pipewire
  # WirePlumber gives up at once when PipeWire's socket is not there yet.
  poll_until 10 eval 'helper_alive && [ -S "$workdir/runtime/pipewire-0" ]' \
    || helper_failed pipewire "PipeWire's socket in $workdir/runtime"
  start_helper wireplumber wireplumber
  local dir uuid uuids=()
  for dir in "${extensions[@]}"; do
    uuid=$(basename "$dir")
    mkdir -p "$workdir/home/.local/share/gnome-shell/extensions/$uuid"
    cp -r "$dir/." "$workdir/home/.local/share/gnome-shell/extensions/$uuid/"
    uuids+=("'$uuid'")
  done
  chown -R "$user:$user" "$workdir/home"
  if [ ${#uuids[@]} -gt 0 ]; then
    local list
    list=$(IFS=,; echo "${uuids[*]}")
    "${as_user[@]}" -- env -i "${session_env[@]}" gsettings set org.gnome.shell enabled-extensions "[$list]" \
      || die "could not enable the extensions $list"
  fi
  start_helper gnome-shell gnome-shell --headless --wayland --no-x11 --virtual-monitor 1920x1080
  poll_until 30 shell_up || helper_failed gnome-shell "GNOME Shell's Wayland socket and its screen-cast service"
  session_env+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY")
  # WirePlumber links screen-cast streams to their consumers; it is ready once its "default" metadata exists.
  wireplumber_up() {
    "${as_user[@]}" -- env -i "${session_env[@]}" pw-cli ls Metadata 2>/dev/null | grep -q 'metadata.name = "default"'
  }
  poll_until 20 wireplumber_up || helper_failed wireplumber "WirePlumber's default metadata (pw-cli ls Metadata)"
}

# GNOME Shell is up once its Wayland socket exists and it owns its screen-cast service.
shell_up() {
  helper_alive || return 1
  local display
  display=$(find "$workdir/runtime" -maxdepth 1 -type s -name 'wayland-*' -printf '%f\n' | head -n 1)
  [ -n "$display" ] || return 1
  "${as_user[@]}" -- env -i "${session_env[@]}" gdbus call --session --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner org.gnome.Mutter.ScreenCast \
    2>/dev/null | grep -q true || return 1
  WAYLAND_DISPLAY=$display
}

# Not --fork: a forked daemon would leave our process tree and outlive a
# harness that is killed outright.
exec {busfd}>"$workdir/bus-address"
start_helper dbus dbus-daemon --session --nofork --print-address="$busfd"
exec {busfd}>&-
poll_until 10 eval 'helper_alive && grep -q "^unix:" "$workdir/bus-address"' \
  || helper_failed dbus "the session bus to print its address"
session_env+=(DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$workdir/bus-address")")

bus_send() {
  "${as_user[@]}" -- env -i "${session_env[@]}" dbus-send --session --print-reply "$@" 2>/dev/null
}

start_kwin() {
  cp "$(command -v kwin_wayland)" "$workdir/bin/kwin_wayland"
  session_env+=(XDG_CURRENT_DESKTOP=KDE)
  start_helper kwin kwin_wayland --virtual --width 1920 --height 1080 --no-lockscreen --socket wayland-kwin
  kwin_up() {
    helper_alive && [ -S "$workdir/runtime/wayland-kwin" ] \
      && bus_send --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner string:org.kde.KWin \
      | grep -q 'boolean true'
  }
  poll_until 15 kwin_up || helper_failed kwin "KWin's socket and org.kde.KWin on the session bus"
  session_env+=(WAYLAND_DISPLAY=wayland-kwin)
  # Programs the bus starts (the portal and its KDE backend) need the display and the desktop's name.
  bus_send --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.UpdateActivationEnvironment \
    dict:string:string:WAYLAND_DISPLAY,wayland-kwin,XDG_CURRENT_DESKTOP,KDE,QT_QPA_PLATFORM,wayland >/dev/null \
    || die "the session bus refused the activation environment"
  start_helper kded env QT_QPA_PLATFORM=offscreen ${VISTREL_KDED_PLUGINS:+QT_PLUGIN_PATH=$VISTREL_KDED_PLUGINS} kded5
  watcher_up() {
    helper_alive && bus_send --dest=org.kde.kded5 /kded org.kde.kded5.loadModule string:statusnotifierwatcher \
      | grep -q 'boolean true'
  }
  poll_until 10 watcher_up || helper_failed kded "kded5 to load its statusnotifierwatcher module"
}

case $desktop in
  gnome) start_gnome ;;
  kwin) start_kwin ;;
  *) start_sway ;;
esac

while IFS= read -r name; do
  session_env+=("$name=${!name}")
done < <(compgen -v | grep '^GTEST_' || true)

# setsid: the command leads a new process group (and session), so all it
# leaves running can be stopped at once.
setsid "${as_user[@]}" -- setpriv --pdeathsig TERM -- env -i "${session_env[@]}" "$@" <&0 &
command_pid=$!
status=0
wait "$command_pid" || status=$?
exit "$status"
