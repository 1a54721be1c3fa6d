#!/usr/bin/env bash
# Builds the release tree and runs the ping benchmark: ping round trips
# against the server program and against the TPKT echo server (batching and
# writing each frame), in alternating rounds; prints each round's rates,
# latencies and CPU per ping, and the spread of the ratios. Not part of the
# test suite.
# Usage: bench/server_bench.sh [server_bench options: --window N --seconds S --rounds R
#        --board TEXT, or the other modes that bench/server_bench.cpp describes]
# `--board "absent hal"` runs the server on a simulated board without the TDM
# switch, whose refresh of the disabled bus outputs (256 driver requests per
# pass of the main loop) otherwise takes most of each pass.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 4 --target server_bench >/dev/null
exec "$build/bench/server_bench" "$@"
