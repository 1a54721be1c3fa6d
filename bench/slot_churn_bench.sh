#!/usr/bin/env bash
# Builds the release tree and runs the slot churn benchmark: cycles of
# create, connect to a trunk slot and destroy, for RTP slots and for map
# slots, beside pings on the same controller link; prints the rates and
# their ratios to the ping rate. Not part of the test suite.
# Usage: bench/slot_churn_bench.sh [--seconds S] [--rounds R]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 4 --target slot_churn_bench >/dev/null
exec "$build/bench/slot_churn_bench" "$@"
