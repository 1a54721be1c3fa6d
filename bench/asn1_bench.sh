#!/bin/sh
# Runs the aligned-PER benchmark of the ASN.1 runtime on the control-link
# mix and the Erlang/OTP yardstick on the same messages, on the same
# machine, checks that both sides coded the same octets, and prints the
# speed ratios. The Erlang side uses the +maps codecs of the message modules
# that the test build compiles (tests/messages/erlang).
# Usage: bench/asn1_bench.sh [build directory, default build/release]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
bin=$build/bench/asn1_bench
beams=$build/tests/messages/erlang
[ -x "$bin" ] || { echo "asn1_bench not built in $build" >&2; exit 1; }
[ -f "$beams/LGCP.beam" ] || { echo "no Erlang codecs of the messages in $beams" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

erlc -o "$work" "$here/asn1_bench.erl"
erl -noshell -pa "$beams" -pa "$work" -run asn1_bench main 200000 > "$work/erlang.txt"
"$bin" --benchmark_format=csv > "$work/cpp.csv" 2> "$work/cpp.context"

sed -n 's/^\(wire[0-9]*\): \(.*\)/\1 \2/p' "$work/cpp.context" > "$work/cpp.wires"
grep '^wire' "$work/erlang.txt" > "$work/erlang.wires"
if ! cmp -s "$work/cpp.wires" "$work/erlang.wires" || [ ! -s "$work/cpp.wires" ]; then
    echo "the two sides coded different octets:" >&2
    diff "$work/cpp.wires" "$work/erlang.wires" >&2 || true
    exit 1
fi

awk -v erl="$work/erlang.txt" '
BEGIN {
    while ((getline line < erl) > 0) {
        split(line, f, " ")
        if (f[1] == "encode_ns") ee = f[2]
        if (f[1] == "decode_ns") ed = f[2]
    }
    FS = ","
}
/BM_EncodePerMessage/ { ce = $NF * 1e9 }
/BM_DecodePerMessage/ { cd = $NF * 1e9 }
END {
    printf "            C++ ns/msg   Erlang ns/msg   speed-up\n"
    printf "encode   %12.1f %15.1f %9.1fx\n", ce, ee, ee / ce
    printf "decode   %12.1f %15.1f %9.1fx\n", cd, ed, ed / cd
}' "$work/cpp.csv"
