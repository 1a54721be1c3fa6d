#pragma once
// The controller tool's side of the messages: text in value notation read
// into an LGCP message and encoded in aligned PER for the wire, and received
// payloads decoded and printed back as value notation after a time stamp.

#include <string>

#include "server/tpkt_frame.h"

namespace Ctl {

using Bytes = Tpkt::Bytes;

struct Encoded {
    Bytes payload;      // the aligned-PER encoding, when error is empty
    std::string error;  // what failed, in words
};

// Reads one message from the text (it must hold one message and nothing
// else) and encodes it; the payload always fits one TPKT frame. Errors give
// positions counting the text's first line as `first_line`.
Encoded encodeMessage(std::string const& text, unsigned first_line = 1);

struct Decoded {
    bool ok = false;      // the payload decodes as an LGCP message
    bool answer = false;  // ... whose pdu is a response
    std::string text;     // its value notation, or the payload in hex
};

Decoded decodeMessage(Bytes const& payload);

// "[  0.012] " and the text; lines after the first are indented by the
// width of the stamp, so the text stays one aligned block.
std::string stamped(double seconds, std::string const& text);

// "03 00 0A"; at most `limit` octets, then " ... (N octets)".
std::string hexText(Bytes const& bytes, std::size_t limit);

}  // namespace Ctl
