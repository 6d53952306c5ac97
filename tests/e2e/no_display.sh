#!/usr/bin/env bash
# Verifies that vistrel without a usable X display prints one message about the display on stderr and exits 1, neither crashing nor hanging.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[ -x "${VISTREL:-}" ] || fail "VISTREL does not name an executable program: '${VISTREL:-}'"
stderr=$HARNESS_DIR/no-display.stderr

# expect_display_error <case> <command...>
expect_display_error() {
  local case=$1 status=0
  shift
  "$@" 2>"$stderr" || status=$?
  local said
  said=$(cat "$stderr")
  [ "$status" -ne 124 ] || fail "$case: vistrel was still running after 10 s"
  [ "$status" -eq 1 ] || fail "$case: exit status $status (want 1); stderr:
$said"
  # One line and nothing else: no toolkit warnings, no crash report.
  [ "$(wc -l <"$stderr")" -eq 1 ] && grep -qi '^vistrel: .*display' "$stderr" \
    || fail "$case: want exactly one line 'vistrel: ...display...' on stderr, got:
$said"
}

expect_display_error "no DISPLAY" env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$VISTREL"
# A display number no server listens on (the harness's own server is a low number).
expect_display_error "DISPLAY=:987" env -u WAYLAND_DISPLAY DISPLAY=:987 timeout 10 "$VISTREL"
