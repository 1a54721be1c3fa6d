%% Oracle driver for the ASN.1 cross-check. Reads a file of requests
%% {Id, Module, Type, Value, CppBytes}, and for each writes one line:
%%   Id EncodedHex|error same|error|differs
%% where EncodedHex is Erlang's aligned-PER encoding of Value, and the last
%% word tells whether decoding CppBytes gave back exactly Value.
-module(asn1_oracle).
-export([main/1]).

main([In, Out]) ->
    {ok, Requests} = file:consult(In),
    {ok, F} = file:open(Out, [write]),
    lists:foreach(fun(R) -> io:put_chars(F, [answer(R), $\n]) end, Requests),
    ok = file:close(F),
    halt(0).

answer({Id, Mod, Type, Value, Bytes}) ->
    Enc = try Mod:encode(Type, Value) of
              {ok, B} -> hex(B);
              _ -> "error"
          catch _:_ -> "error"
          end,
    Dec = try Mod:decode(Type, Bytes) of
              {ok, V} when V =:= Value -> "same";
              {ok, V} -> io_lib:format("differs ~w", [V]);
              _ -> "error"
          catch _:_ -> "error"
          end,
    io_lib:format("~w ~s ~s", [Id, Enc, Dec]).

hex(<<>>) -> "-";
hex(B) -> [io_lib:format("~2.16.0B", [X]) || <<X>> <= B].
