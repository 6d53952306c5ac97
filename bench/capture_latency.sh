#!/usr/bin/env bash
# Capture latency and file size beside scrot, in one run on one desktop:
# full screen to PNG and to JPEG, an 800x600 area to PNG, the clipboard path,
# and Vistrel's memory before its first capture. Figures only; it never fails
# a build.
#
#   tests/e2e/harness.sh -- bash bench/capture_latency.sh <build dir>
#
# Vistrel's time runs from the XTest key press until the file appears in the
# screenshots folder (it is renamed into place whole); scrot's from its start
# until it exits. The desktop shows xterms full of text, so that PNG sizes
# and times are those of a real screen, not of a blank one.
set -euo pipefail
build=$(cd "${1:?usage: harness.sh -- bash bench/capture_latency.sh <build dir>}" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e" && pwd)
source "$here/lib.sh"
export VISTREL=$build/bin/vistrel
timer=$build/bench/vistrel-capture-latency
RUNS=${RUNS:-10}
OUT=/tmp/vistrel-capture-latency.txt
pictures=$HOME/Pictures/Vistrel
defaults=$XDG_CONFIG_HOME/vistrel/defaults.json

# A desktop of text: four terminals with different listings, tiled.
i=0
for cmd in "ls -lR /usr/include" "dmesg; cat /etc/services" "ps aux; env; cat /etc/passwd" "find /usr/share -maxdepth 3"; do
  xterm -geometry 158x40+$(( (i % 2) * 960 ))+$(( (i / 2) * 540 )) -e bash -c "$cmd | head -3000; sleep 100000" &
  i=$((i + 1))
done
sleep 2

restart_with() {
  [ -z "$VISTREL_PID" ] || stop_vistrel
  mkdir -p "$(dirname "$defaults")"
  printf '%s\n' "$1" >"$defaults"
  local offset
  offset=$(log_offset)
  start_vistrel
  wait_for_launch "$offset"
  mkdir -p "$pictures"
}

row() { printf '%-34s %10s %10s %10s %12s\n' "$@" | tee -a "$OUT"; }
: >"$OUT"
row case "median ms" "min ms" "max ms" "bytes"

restart_with '{}'
rss=$(awk '/VmRSS/ { print $2 }' "/proc/$VISTREL_PID/status")
row "idle RSS before a capture (kB)" "$rss" - - -

restart_with '{"vistrel.capture.show": false}'
row "vistrel screen 1920x1080 PNG" $("$timer" key "$pictures" "$RUNS")
row "scrot screen PNG" $("$timer" command /tmp/bench-scrot.png "$RUNS" -- scrot -o /tmp/bench-scrot.png)

row "vistrel area 800x600 PNG" $("$timer" area "$pictures" "$RUNS" 100 100 800 600)
row "scrot -a area 800x600 PNG" $("$timer" command /tmp/bench-scrot-a.png "$RUNS" -- scrot -o -a 100,100,800,600 /tmp/bench-scrot-a.png)

restart_with '{"vistrel.capture.show": false, "vistrel.capture.saveFormat": "auto"}'
row "vistrel screen JPEG (q 0.92)" $("$timer" key "$pictures" "$RUNS")
row "scrot -q 92 screen JPEG" $("$timer" command /tmp/bench-scrot.jpg "$RUNS" -- scrot -o -q 92 /tmp/bench-scrot.jpg)

# The clipboard: a capture with copy on and save off encodes nothing; the PNG
# is made when a program asks for it.
restart_with '{"vistrel.capture.show": false, "vistrel.capture.save": false}'
offset=$(log_offset)
start=${EPOCHREALTIME//[.,]/}
xdotool key super+shift+1
captured() { log_since "$offset" | grep -q capture-done; }
wait_for 10 "the capture-done line" captured
owner() { xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/png; }
wait_for 10 "the clipboard to offer image/png" owner
mid=${EPOCHREALTIME//[.,]/}
bytes=$(xclip -selection clipboard -t image/png -o | wc -c)
end=${EPOCHREALTIME//[.,]/}
row "clipboard: key to offer (shell poll)" "$(( (mid - start) / 1000 ))" - - -
row "clipboard: first paste (PNG made)" "$(( (end - mid) / 1000 ))" - - "$bytes"
stop_vistrel
echo "written to $OUT"
