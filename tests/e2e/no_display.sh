#!/usr/bin/env bash
# Verifies that vistrel without a usable X or Wayland display prints one message about the display on stderr and exits 1, neither crashing nor hanging.
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
expect_display_error "--platform=x11, no DISPLAY" env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$VISTREL" --platform=x11
# The Wayland backend, by name or picked by the session, with no compositor behind the name.
expect_display_error "--platform=wayland, no WAYLAND_DISPLAY" env -u WAYLAND_DISPLAY timeout 10 "$VISTREL" --platform=wayland
expect_display_error "a Wayland display and no X display" env -u DISPLAY WAYLAND_DISPLAY=wayland-9 timeout 10 "$VISTREL"
expect_display_error "a Wayland session with Xwayland" \
  env DISPLAY=:987 WAYLAND_DISPLAY=wayland-9 XDG_SESSION_TYPE=wayland timeout 10 "$VISTREL"

# A backend this program does not carry: one line saying why, exit status 3,
# whether asked for by name or picked by the session; never the sim silently.
# expect_refused <case> <what the line says> <command...>
expect_refused() {
  local case=$1 says=$2 status=0
  shift 2
  "$@" 2>"$stderr" || status=$?
  local said
  said=$(cat "$stderr")
  [ "$status" -eq 3 ] || fail "$case: exit status $status (want 3); stderr:
$said"
  [ "$(wc -l <"$stderr")" -eq 1 ] && grep -q "^vistrel: .*$says" "$stderr" \
    || fail "$case: want exactly one line 'vistrel: ...$says...' on stderr, got:
$said"
}

expect_refused "--platform sim" "simulated desktop" timeout 10 "$VISTREL" --platform sim

status=0
timeout 10 "$VISTREL" --platform=mir 2>"$stderr" || status=$?
[ "$status" -eq 2 ] && grep -q '^vistrel: unknown platform "mir"' "$stderr" \
  || fail "--platform=mir: exit status $status (want 2); stderr: $(cat "$stderr")"
echo "ok a backend this program does not carry is one line and status 3; an unknown one is a usage error"
