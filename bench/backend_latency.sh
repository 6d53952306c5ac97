#!/usr/bin/env bash
# One backend's still-capture and snap latency seen from outside, on the
# desktop it runs in (X11 under tests/e2e/harness.sh, Wayland under
# tests/e2e/wayland/harness.sh); bench/wayland_vs_x11.sh runs it on both and
# puts the figures side by side. Figures only; it never fails a build.
#
# The desktop shows four terminals full of text (xterm on X11, foot on
# Wayland). Capture: from `vistrel --action capture.screen` until the PNG is
# in the screenshots folder. Snap: from `vistrel --action window.leftHalf` (or
# rightHalf, by turns) until the "snap-done" line is logged, and the program's
# own figure in that line (ms=); on Wayland also until the last change of the
# focused window's frame in sway's tree (polled over sway's socket). Both
# include the start of the `vistrel --action` process that hands the action over.
#
#   VISTREL=<program> bash backend_latency.sh     (RUNS=n, 10 by default)
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
if [ -f "$here/lib.sh" ]; then source "$here/lib.sh"; else source "$here/../tests/e2e/lib.sh"; fi
RUNS=${RUNS:-10}
pictures=$HOME/Pictures/Vistrel
backend=x11
[ -z "${WAYLAND_DISPLAY:-}" ] || { backend=wayland; unset DISPLAY; export QT_QPA_PLATFORM=wayland SHELL=/bin/sh; }

now_us() { echo "${EPOCHREALTIME//[.,]/}"; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

i=0
for cmd in "ls -lR /usr/include" "cat /etc/services" "ps aux; env; cat /etc/passwd" "find /usr/share -maxdepth 3"; do
  if [ $backend = x11 ]; then
    xterm -geometry 158x40+$(((i % 2) * 960))+$(((i / 2) * 540)) -e bash -c "$cmd | head -3000; sleep 100000" &
  else
    foot --title "text $i" sh -c "$cmd | head -3000; sleep 100000" >/dev/null 2>&1 &
  fi
  i=$((i + 1))
done
sleep 2 # not a synchronisation: the terminals fill before anything is measured

mkdir -p "$XDG_CONFIG_HOME/vistrel" "$pictures"
echo '{"vistrel.capture.show": false, "vistrel.desktopShortcutsHelpShown": true}' >"$XDG_CONFIG_HOME/vistrel/defaults.json"
offset=$(log_offset)
start_vistrel
wait_for_launch "$offset"

captures=() handovers=()
for ((r = 0; r < RUNS; r++)); do
  rm -f "$pictures"/*
  t0=$(now_us)
  "$VISTREL" --action capture.screen
  handovers+=($(( ($(now_us) - t0) / 1000 )))
  until compgen -G "$pictures/*.png" >/dev/null; do :; done
  captures+=($(( ($(now_us) - t0) / 1000 )))
done

# last_change <seconds>: polls sway's tree over its socket for that long and
# prints when the focused window's frame last changed (microseconds since
# 1970), 0 when it did not. "ready" comes first, once the first tree is read.
last_change() {
  python3 -u - "$1" <<'PY'
import json, os, socket, struct, sys, time
seconds = float(sys.argv[1])
s = socket.socket(socket.AF_UNIX); s.connect(os.environ["SWAYSOCK"])
def read(n):
    b = b""
    while len(b) < n: b += s.recv(n - len(b))
    return b
def frame():
    s.sendall(b"i3-ipc" + struct.pack("=II", 0, 4))
    size, _ = struct.unpack("=II", read(14)[6:])
    tree = json.loads(read(size))
    stack = [tree]
    while stack:
        n = stack.pop()
        if n.get("focused") and n.get("pid"): return json.dumps(n["rect"])
        stack += n.get("nodes", []) + n.get("floating_nodes", [])
last, changed = frame(), 0
print("ready", flush=True)
end = time.time() + seconds
while time.time() < end:
    f = frame()
    if f != last: last, changed = f, int(time.time() * 1e6)
print(changed, flush=True)
PY
}
snaps=() inside=() changes=()
for ((r = 0; r < RUNS; r++)); do
  action=$([ $((r % 2)) -eq 0 ] && echo window.leftHalf || echo window.rightHalf)
  offset=$(log_offset)
  if [ $backend = wayland ]; then
    coproc POLL { last_change 1.0; }
    read -r _ <&"${POLL[0]}"
  fi
  t0=$(now_us)
  "$VISTREL" --action $action
  until log_since "$offset" | grep -q 'snap-done '; do :; done
  snaps+=($(( ($(now_us) - t0) / 1000 )))
  inside+=($(log_since "$offset" | grep -o 'snap-done .* ms=[0-9]*' | sed 's/.*ms=//'))
  if [ $backend = wayland ]; then
    read -r last <&"${POLL[0]}"
    wait "$POLL_PID" || true
    changes+=($(( (last - t0) / 1000 )))
  fi
done

printf '%s capture.screen to PNG on disk: median %s ms, of which the --action command %s ms (runs: %s)\n' $backend \
  "$(printf '%s\n' "${captures[@]}" | median)" "$(printf '%s\n' "${handovers[@]}" | median)" "${captures[*]}"
printf '%s snap by --action until snap-done: median %s ms; in the program (ms=): median %s ms\n' $backend \
  "$(printf '%s\n' "${snaps[@]}" | median)" "$(printf '%s\n' "${inside[@]}" | median)"
[ $backend = x11 ] || printf '%s snap by --action until the last tree change: median %s ms (runs: %s)\n' $backend \
  "$(printf '%s\n' "${changes[@]}" | median)" "${changes[*]}"
stop_vistrel
