#!/usr/bin/env bash
# Only the X11 backend, its own tests and the tools that drive the display
# from outside (the capture latency benchmark, the soak's key presser) may include X11 or XCB headers:
# product code reaches the operating system through the platform interfaces alone.
set -euo pipefail
root=${1:?usage: no-x11-includes.sh <source root>}
cd "$root"
hits=$(grep -rnE '^\s*#\s*include\s*[<"](X11|xcb)/' src tools tests bench 2>/dev/null | grep -v -E '^(src/platform/x11|tests/unit/x11|tests/e2e/backend|tests/e2e/hotkeys)/|^bench/(CaptureLatency|KeyBurst)\.cpp:' || true)
if [ -n "$hits" ]; then
  echo "X11/XCB headers included outside src/platform/x11:"
  echo "$hits"
  exit 1
fi
echo "no X11/XCB includes outside src/platform/x11"
