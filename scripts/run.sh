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

# An X display that answers is what this script runs on, also under a Wayland
# session, whose default the program would otherwise take.
if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
  exec "$program" --platform=x11
fi

e2e=$root/tests/e2e
source "$e2e/lib.sh"
echo "run: no X display answers${DISPLAY:+ on $DISPLAY}; running the layout self-test on a private Xvfb desktop"

marker=/tmp/vistrel-review
report=/tmp/vistrel-review-report.txt
start_line=$(mktemp)
trap 'rm -f "$start_line"' EXIT
# The marker asks the program to run its self-test at launch. Made with
# O_EXCL (noclobber) after removing whatever is there, so a planted link is
# never followed; the old report goes too, so a new one means this run's.
rm -f "$marker" "$report"
(set -C && : >"$marker")
offset=$(log_offset)
status=0
VISTREL=$program bash "$e2e/harness.sh" --tray -- bash -c '
  source "$1/lib.sh"
  start_vistrel
  report_written() { [ -s "$3" ] && log_since "$4" | grep -q review-done; }
  poll_until 90 report_written "$@" || echo "run: no self-test report within 90 s" >&2
  vistrel_start_line >"$2"
  stop_vistrel TERM' _ "$e2e" "$start_line" "$report" "$offset" || status=$?

echo "start line: $(cat "$start_line")"
echo "log: $LAYOUT_LOG ($(log_since "$offset" | wc -l) lines from this run)"
if [ -s "$report" ]; then
  echo "self-test report ($report):"
  cat "$report"
  grep -q '^FAIL' "$report" && status=1
else
  echo "run: the self-test wrote no report" >&2
  status=1
fi
exit "$status"
