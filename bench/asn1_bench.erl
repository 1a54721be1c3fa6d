%% Erlang/OTP yardstick for asn1_bench: the control-link mix of
%% asn1_messages.cpp as LGCP messages, coded with the aligned-PER codec that
%% erlc generates from the Erlang copy of the module (+maps).
%% main([Rounds]) codes the mix Rounds times each way, after Rounds div 10
%% rounds not timed, and prints "encode_ns N" and "decode_ns N" (per
%% message) and "wireI Hex" for each message, as `asn1_bench --rounds`
%% prints for the C++ codec; main([Rounds, "encode"]) and
%% main([Rounds, "decode"]) code one way only.
-module(asn1_bench).
-export([main/1]).

main([RoundsText]) -> main([RoundsText, "both"]);
main([RoundsText, Way]) ->
    Rounds = list_to_integer(RoundsText),
    Encoding = Way =/= "decode",
    Decoding = Way =/= "encode",
    Mixer = fun(U) -> #{unit => U, 'tdm-inputs' => 32, 'tdm-outputs' => 32,
                        'mixer-inputs' => 8, 'dpu-per-mixer' => 2, 'dpu-per-ec' => 1,
                        'dpu-per-lms' => 1} end,
    Resources = #{boardMajor => 3, boardMinor => 1,
                  drvVersion => #{type => release, version => "4.2.1",
                                  date => "2024-06-01", revision => 1234},
                  'rtp-g729' => 16, 'rtp-g723' => 16, 'rtp-g711' => 60,
                  'rtp-g711mcc' => 30, modem => 4, mixer => [Mixer(U) || U <- [0, 1]],
                  mux => true, 'mcc-data' => 8, 'mcc-bri' => 8, 'mcc-trans' => 8,
                  echoBus => [0, 1, 2, 3], 't38-instances' => 4, 'digital-modems' => 4,
                  lin16 => 60, universal => 0},
    Mix = [#{seq => 17, pdu => {command, {ping, 'NULL'}}},
           #{seq => 18, slot => 12,
             pdu => {command, {create, {trunk, #{trunk => 1, timeslot => 5}}}}},
           #{seq => 19, slot => 12, pdu => {command, {connect, 20}}},
           #{seq => 19, slot => 12, pdu => {response, {success, 'NULL'}}},
           #{slot => 12, pdu => {signal, {tonec, #{timestamp => 123456,
                                                   event => {dtmf, 5}}}}},
           #{pdu => {signal, {query, Resources}}}],
    Wires = [begin {ok, B} = 'LGCP':encode('Message', M), B end || M <- Mix],
    Encode = fun() -> [ 'LGCP':encode('Message', M) || M <- Mix ] end,
    Decode = fun() -> [ 'LGCP':decode('Message', W) || W <- Wires ] end,
    N = Rounds * length(Mix),
    Timed = fun(F) ->
                loop(F, Rounds div 10),
                {T, _} = timer:tc(fun() -> loop(F, Rounds) end),
                T * 1000 / N
            end,
    Encoding andalso io:format("encode_ns ~.1f~n", [Timed(Encode)]),
    Decoding andalso io:format("decode_ns ~.1f~n", [Timed(Decode)]),
    lists:foldl(fun(W, I) -> io:format("wire~w ~s~n", [I, hex(W)]), I + 1 end, 0, Wires),
    halt(0).

hex(B) -> [io_lib:format("~2.16.0B", [X]) || <<X>> <= B].

loop(_, 0) -> ok;
loop(F, K) -> F(), loop(F, K - 1).
