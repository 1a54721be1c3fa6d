#!/bin/sh
# Runs the aligned-PER benchmark of the ASN.1 runtime and the Erlang/OTP
# yardstick on the same machine and prints the speed ratios.
# Usage: bench/asn1_bench.sh [build directory, default build/release]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
bin=$build/bench/asn1_bench
[ -x "$bin" ] || { echo "asn1_bench not built in $build" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$here/asn1_messages.asn" "$work/BenchMsgs.asn"
(cd "$work" && erlc -bper +maps BenchMsgs.asn && erlc "$here/asn1_bench.erl")
erl -noshell -pa "$work" -run asn1_bench main 200000 > "$work/erlang.txt"
"$bin" --benchmark_format=csv > "$work/cpp.csv" 2>/dev/null

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
