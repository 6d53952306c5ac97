#!/usr/bin/env bash
# Verifies that the built-in layout self-test, requested by its marker file, runs its 25 steps against a real xterm and against the test window (named by VISTREL_REVIEW_APP) and reports every one as passed, consuming the marker.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

marker=/tmp/vistrel-review
report=/tmp/vistrel-review-report.txt

# run_review <what>: one requested run of the self-test, all 25 steps passing.
run_review() {
  rm -f "$marker" "$report"
  (set -C && : >"$marker")
  local offset
  offset=$(log_offset)
  start_vistrel
  report_written() { [ -s "$report" ] && log_since "$offset" | grep -q review-done; }
  wait_for 90 "the self-test report ($1)" report_written
  [ ! -e "$marker" ] || fail "$1: the marker was not consumed"
  [ "$(head -n 1 "$report")" = "layout review" ] || fail "$1: report does not start with \"layout review\": $(cat "$report")"
  local passed
  passed=$(grep -c '^PASS ' "$report" || true)
  [ "$passed" -eq 25 ] || fail "$1: $passed of 25 steps passed:
$(cat "$report")"
  stop_vistrel
  echo "layout review on $1: 25 of 25 passed"
}

run_review xterm
VISTREL_REVIEW_APP="$TESTWINDOW --title 'Review probe'" run_review "the test window"

# A second launch without a new marker runs nothing.
offset=$(log_offset)
start_vistrel
stop_vistrel
if log_since "$offset" | grep -q review-done; then fail "the self-test ran again without a marker"; fi
