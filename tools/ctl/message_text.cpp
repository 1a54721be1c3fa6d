#include "tools/ctl/message_text.h"

#include <cstdio>
#include <iterator>
#include <sstream>

#include "asn1/asn1.h"
#include "messages/lgcp/lgcp.h"

namespace Ctl {

namespace {

// How many characters of the text the error lines quote.
constexpr std::size_t quote_length = 24;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// "line 2, column 7" for an offset into the text; columns from 1.
std::string where(std::string const& text, std::size_t offset, unsigned first_line) {
    unsigned line = first_line;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ++line;
        lineStart = i + 1;
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// The text of the same line just before the offset, without leading blanks.
std::string before(std::string const& text, std::size_t offset) {
    if (offset == 0) return std::string();
    std::size_t const lineStart = text.rfind('\n', offset - 1);
    std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    if (offset > from + quote_length) from = offset - quote_length;
    while (from < offset && isSpace(text[from])) ++from;
    return text.substr(from, offset - from);
}

// The text of the same line from the offset on.
std::string after(std::string const& text, std::size_t offset) {
    std::size_t const lineEnd = text.find('\n', offset);
    std::size_t const end = lineEnd == std::string::npos ? text.size() : lineEnd;
    return text.substr(offset, std::min(end - offset, quote_length));
}

std::size_t skipSpace(std::string const& text, std::size_t offset) {
    while (offset < text.size() && isSpace(text[offset])) ++offset;
    return offset;
}

// Where reading stopped, with what stands around it: the text of the line
// just read, or when nothing of the line was read, the text that follows.
std::string stoppedAt(std::string const& text, std::size_t offset, unsigned first_line) {
    std::string const read = before(text, offset);
    if (!read.empty())
        return "reading stopped at " + where(text, offset, first_line) + ", after \"" + read + "\"";
    std::size_t const next = skipSpace(text, offset);
    return "reading stopped at " + where(text, next, first_line) + ", at \"" + after(text, next) +
           "\"";
}

}  // namespace

Encoded encodeMessage(std::string const& text, unsigned first_line) {
    Encoded result;
    if (skipSpace(text, 0) == text.size()) {
        result.error = "empty message";
        return result;
    }
    LGCP::Message message;
    std::istringstream in(text);
    bool const read = message.get_from(in) == std::ios_base::goodbit;
    // Where the reader stopped, whether it finished or not.
    in.clear();
    std::streamoff const stop = in.tellg();
    std::size_t const offset = stop < 0 ? text.size() : std::size_t(stop);
    if (!read) {
        if (skipSpace(text, offset) == text.size())
            result.error = "the text ends before the message is complete";
        else
            result.error =
                "does not read as an LGCP message: " + stoppedAt(text, offset, first_line);
        return result;
    }
    std::size_t const rest = skipSpace(text, offset);
    if (rest != text.size()) {
        result.error = "text after the end of the message at " + where(text, rest, first_line) +
                       ": \"" + after(text, rest) + "\"";
        return result;
    }
    if (!message.isValid()) {
        // The tracer writes the path to the component, a blank and why.
        ASN1::InvalidTracer tracer;
        message.accept(tracer);
        std::string const trace = tracer.text();
        std::size_t const blank = trace.find(' ');
        result.error = "value outside its type at message" + trace.substr(0, blank) +
                       (blank == std::string::npos ? "" : ":" + trace.substr(blank));
        return result;
    }
    std::vector<char> octets;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    if (!ASN1::encode(message, &env, std::back_inserter(octets))) {
        result.error = "cannot be encoded in aligned PER";
        return result;
    }
    if (octets.size() > Tpkt::max_payload) {
        result.error = "encodes to " + std::to_string(octets.size()) +
                       " octets, more than one frame carries (" +
                       std::to_string(Tpkt::max_payload) + ")";
        return result;
    }
    result.payload.assign(octets.begin(), octets.end());
    return result;
}

Decoded decodeMessage(Bytes const& payload) {
    Decoded result;
    LGCP::Message message;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    char const* data = reinterpret_cast<char const*>(payload.data());
    if (!ASN1::decode(data, data + payload.size(), &env, message, true)) {
        result.text = hexText(payload, 64);
        return result;
    }
    result.ok = true;
    result.answer = message.get_pdu().response_isSelected();
    result.text = message.asValueNotation();
    return result;
}

std::string stamped(double seconds, std::string const& text) {
    char stamp[32];
    int const width = std::snprintf(stamp, sizeof(stamp), "[%7.3f] ", seconds);
    std::string const indent(std::size_t(width), ' ');
    std::string out = stamp;
    for (char const c : text) {
        out += c;
        if (c == '\n') out += indent;
    }
    return out;
}

std::string hexText(Bytes const& bytes, std::size_t limit) {
    std::string out;
    char octet[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(octet, sizeof(octet), "%02X", bytes[i]);
        if (!out.empty()) out += ' ';
        out += octet;
    }
    if (bytes.size() > limit) out += " ... (" + std::to_string(bytes.size()) + " octets)";
    return out;
}

}  // namespace Ctl
