#!/usr/bin/env bash
# Builds the release tree and runs the SS7 back-to-back benchmark: message
# units per second and server CPU per unit through two linked PSTN slots,
# then the same for two ISDN links (I-frames per second, CPU per I-frame),
# then pings per second on the same control link. Not part of the test suite.
# Usage: bench/ss7_bench.sh [--seconds S] [--window N] [--octets N]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 4 --target ss7_bench >/dev/null
exec "$build/bench/ss7_bench" "$@"
