%% Erlang/OTP yardstick for asn1_bench: the same message mix as
%% asn1_messages.cpp, coded with the aligned-PER codec erlc generates.
%% Prints "encode_ns N" and "decode_ns N" (per message).
-module(asn1_bench).
-export([main/1]).

main([RoundsText]) ->
    Rounds = list_to_integer(RoundsText),
    Trunk = fun(T) -> #{trunk => T, channels => 30, active => true} end,
    Mix = [#{seq => 17, pdu => {command, {ping, 'NULL'}}},
           #{seq => 18, slot => 12, pdu => {command, {create, {trunk, #{trunk => 1, timeslot => 5}}}}},
           #{seq => 19, slot => 12, pdu => {command, {connect, 20}}},
           #{seq => 19, slot => 12, pdu => {response, {success, 'NULL'}}},
           #{slot => 12, pdu => {signal, {tonec, #{code => {dtmf, 5}, duration => 80}}}},
           #{pdu => {signal, {query, #{trunks => [Trunk(T) || T <- [0, 1, 2, 3]],
                                       mixers => 8, version => "1.2.3"}}}}],
    Wires = [begin {ok, B} = 'BenchMsgs':encode('Message', M), B end || M <- Mix],
    Encode = fun() -> [ 'BenchMsgs':encode('Message', M) || M <- Mix ] end,
    Decode = fun() -> [ 'BenchMsgs':decode('Message', W) || W <- Wires ] end,
    loop(Encode, Rounds div 10), loop(Decode, Rounds div 10),
    {TE, _} = timer:tc(fun() -> loop(Encode, Rounds) end),
    {TD, _} = timer:tc(fun() -> loop(Decode, Rounds) end),
    N = Rounds * length(Mix),
    io:format("encode_ns ~.1f~ndecode_ns ~.1f~n", [TE * 1000 / N, TD * 1000 / N]),
    io:format("wire ~w~n", [Wires]),
    halt(0).

loop(_, 0) -> ok;
loop(F, K) -> F(), loop(F, K - 1).
