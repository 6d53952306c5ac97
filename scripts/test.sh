#!/usr/bin/env bash
# `make test`: runs every test tier of a configured build directory, two at a
# time; the end-to-end tests still run one by one (their resource lock).
set -euo pipefail

build=${1:?usage: test.sh <build-dir>}
[ -f "$build/CTestTestfile.cmake" ] || { echo "test: $build is not a configured build directory" >&2; exit 1; }
exec ctest --test-dir "$build" --output-on-failure -j2
