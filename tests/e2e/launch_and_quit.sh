#!/usr/bin/env bash
# Verifies that vistrel starts on a desktop without a tray host, stays resident with no window of its own, and exits 0 on SIGTERM and on SIGINT.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

for signal in TERM INT; do
  start_vistrel
  vistrel_exited && fail "vistrel exited right after its start line"
  windows=$(client_windows "$VISTREL_PID")
  [ -z "$windows" ] || fail "vistrel has managed windows (a taskbar entry): $windows"
  stop_vistrel "$signal"
done
