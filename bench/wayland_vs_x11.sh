#!/usr/bin/env bash
# Still capture and snap latency of the Wayland backend on headless sway
# beside the X11 backend on Xvfb, one run each (bench/backend_latency.sh says
# what is measured). Figures only; it never fails a build. Run it in a private
# /tmp (the harnesses use fixed files there):
#
#   /work/ptmp bash bench/wayland_vs_x11.sh <build dir>
#
# The table also goes to /tmp/vistrel-wayland-vs-x11.txt.
set -euo pipefail
build=$(cd "${1:?usage: wayland_vs_x11.sh <build dir>}" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=/tmp/vistrel-wayland-vs-x11.txt
{
  VISTREL=$build/bin/vistrel bash "$root/tests/e2e/harness.sh" -- bash "$root/bench/backend_latency.sh"
  bash "$root/tests/e2e/wayland/harness.sh" --stage "$build/bin/vistrel" --stage "$root/tests/e2e/lib.sh" \
    --stage "$root/bench/backend_latency.sh" -- env VISTREL=vistrel RUNS="${RUNS:-10}" bash -c 'VISTREL=$(command -v vistrel) backend_latency.sh'
} 2>&1 | grep -E '^(x11|wayland) ' | tee "$out"
