#!/bin/sh
# Runs the aligned-PER codec of the ASN.1 runtime on the control-link mix
# and the Erlang/OTP yardstick on the same messages, on the same machine,
# in alternating rounds (one fresh process of each per round); checks that
# both sides coded the same octets, and prints each round's time per
# message and the minimum, median and maximum over the rounds of the speed
# ratios Erlang / C++. The C++ side codes as the control link codes (the
# encoding into the vector that goes out, the decoding into the message the
# link keeps). The Erlang side uses the +maps codecs of the message modules
# that the test build compiles (tests/messages/erlang).
# Usage: bench/asn1_bench.sh [build directory, default build/release] [rounds, default 5]
#        [mix repetitions per round, default 200000]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
rounds=${2:-5}
repeat=${3:-200000}
bin=$build/bench/asn1_bench
beams=$build/tests/messages/erlang
[ -x "$bin" ] || { echo "asn1_bench not built in $build" >&2; exit 1; }
[ -f "$beams/LGCP.beam" ] || { echo "no Erlang codecs of the messages in $beams" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

erlc -o "$work" "$here/asn1_bench.erl"
round=1
while [ "$round" -le "$rounds" ]; do
    "$bin" --rounds "$repeat" > "$work/cpp.$round"
    erl -noshell -pa "$beams" -pa "$work" -run asn1_bench main "$repeat" > "$work/erlang.$round"
    grep '^wire' "$work/cpp.$round" > "$work/cpp.wires"
    grep '^wire' "$work/erlang.$round" > "$work/erlang.wires"
    if ! cmp -s "$work/cpp.wires" "$work/erlang.wires" || [ ! -s "$work/cpp.wires" ]; then
        echo "the two sides coded different octets:" >&2
        diff "$work/cpp.wires" "$work/erlang.wires" >&2 || true
        exit 1
    fi
    round=$((round + 1))
done

awk -v rounds="$rounds" -v work="$work" '
function figure(file, name,    line, f) {
    while ((getline line < file) > 0) {
        split(line, f, " ")
        if (f[1] == name) { close(file); return f[2] }
    }
    close(file)
    return 0
}
function spread(v, n,    i, j, t, median) {
    for (i = 2; i <= n; ++i)
        for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    return sprintf("%6.2f %6.2f %6.2f", v[1], median, v[n])
}
BEGIN {
    printf "round    C++ encode  Erlang encode   C++ decode  Erlang decode   (ns per message)\n"
    for (r = 1; r <= rounds; ++r) {
        ce = figure(work "/cpp." r, "encode_ns"); cd = figure(work "/cpp." r, "decode_ns")
        ee = figure(work "/erlang." r, "encode_ns"); ed = figure(work "/erlang." r, "decode_ns")
        printf "%5d %13.1f %14.1f %12.1f %14.1f\n", r, ce, ee, cd, ed
        enc[r] = ee / ce; dec[r] = ed / cd
    }
    printf "speed-up Erlang / C++ over %d rounds    min median    max\n", rounds
    printf "encode                                 %s\n", spread(enc, rounds)
    printf "decode                                 %s\n", spread(dec, rounds)
}'
