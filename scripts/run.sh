#!/usr/bin/env bash
# `make run`: runs the program. On a desktop (a $DISPLAY that answers) it runs
# there in the foreground. Without one it runs on the end-to-end harness's
# private X desktop (with a tray host) until it is up, stops it with SIGTERM,
# and shows its start line and the diagnostic log lines it wrote meanwhile.
set -euo pipefail

build=${1:?usage: run.sh <build-dir>}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ -d "$build" ] || { echo "run: there is no build directory $build" >&2; exit 1; }
program=$(cd "$build" && pwd)/bin/vistrel
[ -x "$program" ] || { echo "run: $program is not built" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
  exec "$program"
fi

e2e=$root/tests/e2e
source "$e2e/lib.sh"
echo "run: no X display answers${DISPLAY:+ on $DISPLAY}; running vistrel on a private Xvfb desktop"

start_line=$(mktemp)
trap 'rm -f "$start_line"' EXIT
offset=$(log_offset)
# Up means the launch sequence has finished: its tray icon has embedded.
status=0
VISTREL=$program bash "$e2e/harness.sh" --tray -- bash -c '
  source "$1/lib.sh"
  start_vistrel
  poll_until 10 tray_icon_window || echo "run: the tray icon did not embed within 10 s" >&2
  vistrel_start_line >"$2"
  stop_vistrel TERM' _ "$e2e" "$start_line" || status=$?

echo "start line: $(cat "$start_line")"
lines=$(log_since "$offset")
if [ -n "$lines" ]; then
  echo "log lines written to $LAYOUT_LOG during this run:"
  printf '%s\n' "$lines"
else
  echo "no log lines were written to $LAYOUT_LOG"
fi
exit "$status"
