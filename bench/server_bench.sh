#!/usr/bin/env bash
# Builds the release tree and runs the ping benchmark: pipelined ping round
# trips against the server program and against the TPKT echo server, their
# ratio, and the server's resident memory. Not part of the test suite.
# Usage: bench/server_bench.sh [seconds per run]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 8 --target server_bench >/dev/null
exec "$build/bench/server_bench" "$build/bench/server_echo" "${1:-3}"
