#!/usr/bin/env bash
# Verifies that vistrel starts on a desktop without a tray host, runs its launch sequence (its log shows it), stays resident with no window of its own, and exits 0 within 2 s of SIGTERM and of SIGINT.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

for signal in TERM INT; do
  offset=$(log_offset)
  start_vistrel
  wait_for_launch "$offset"
  vistrel_exited && fail "vistrel exited right after its start line"
  windows=$(client_windows "$VISTREL_PID")
  [ -z "$windows" ] || fail "vistrel has managed windows (a taskbar entry): $windows"
  stop_vistrel "$signal" 2
done
