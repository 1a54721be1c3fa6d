#!/usr/bin/env escript
%% Oracle of the cross-check: each input line "Module Type Hex" is decoded
%% with Erlang/OTP's aligned-PER codec of the module and encoded again; the
%% output line is the hex of Erlang's encoding, or "error" and the reason.
%% Usage: crosscheck.escript <dir of the compiled modules> <in> <out>

main([Dir, In, Out]) ->
    true = code:add_patha(Dir),
    {ok, Data} = file:read_file(In),
    Lines = binary:split(Data, <<"\n">>, [global, trim_all]),
    ok = file:write_file(Out, [check(L) || L <- Lines]).

check(Line) ->
    [M, T, H] = binary:split(Line, <<" ">>, [global]),
    Mod = binary_to_atom(M, latin1),
    Type = binary_to_atom(T, latin1),
    Bin = case H of <<"-">> -> <<>>; _ -> binary:decode_hex(H) end,
    Result = try
        {ok, Value} = Mod:decode(Type, Bin),
        {ok, Again} = Mod:encode(Type, Value),
        case iolist_to_binary(Again) of
            <<>> -> <<"-">>;
            B -> binary:encode_hex(B)
        end
    catch Class:Reason -> io_lib:format("error ~p:~p", [Class, Reason])
    end,
    [Result, "\n"].
