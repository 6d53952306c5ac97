#!/usr/bin/env bash
# Verifies that the built-in layout self-test, requested by its marker file, runs its 25 steps against a real xterm and reports every one as passed, consuming the marker.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

marker=/tmp/vistrel-review
report=/tmp/vistrel-review-report.txt
rm -f "$marker" "$report"
(set -C && : >"$marker")
offset=$(log_offset)
start_vistrel
report_written() { [ -s "$report" ] && log_since "$offset" | grep -q review-done; }
wait_for 90 "the self-test report" report_written
[ ! -e "$marker" ] || fail "the marker was not consumed"
[ "$(head -n 1 "$report")" = "layout review" ] || fail "report does not start with \"layout review\": $(cat "$report")"
passed=$(grep -c '^PASS ' "$report" || true)
[ "$passed" -eq 25 ] || fail "$passed of 25 steps passed:
$(cat "$report")"
stop_vistrel

# A second launch without a new marker runs nothing.
offset=$(log_offset)
start_vistrel
stop_vistrel
if log_since "$offset" | grep -q review-done; then fail "the self-test ran again without a marker"; fi
echo "layout review: 25 of 25 passed"
