#pragma once
// Aligned-PER helpers for the message tests: encode to a hex text, decode a
// hex text back into a value of the same type.

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "asn1/asn1.h"

namespace msgtest {

inline std::string hex(std::vector<char> const& octets) {
    std::string out;
    char buf[4];
    for (char c : octets) {
        std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", unsigned(c) & 0xFF);
        out += buf;
    }
    return out;
}

inline std::vector<char> octets(std::string const& hexText) {
    std::vector<char> out;
    unsigned v = 0;
    int digits = 0;
    for (char c : hexText) {
        if (c == ' ') continue;
        v = v * 16 + unsigned(c <= '9' ? c - '0' : (c & ~0x20) - 'A' + 10);
        if (++digits == 2) {
            out.push_back(char(v));
            v = 0;
            digits = 0;
        }
    }
    return out;
}

// The octets of `value`, or "encode failed".
inline std::string per(ASN1::AbstractData const& value) {
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    std::vector<char> out;
    if (!ASN1::encode(value, &env, std::back_inserter(out))) return "encode failed";
    return hex(out);
}

inline bool decodeInto(std::vector<char> const& bytes, ASN1::AbstractData& value) {
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    return ASN1::decode(bytes.data(), bytes.data() + bytes.size(), &env, value, true);
}

// Decodes the hex text into a fresh value of T.
template <class T>
std::unique_ptr<T> decoded(std::string const& hexText) {
    auto value = std::make_unique<T>();
    if (!decodeInto(octets(hexText), *value)) return nullptr;
    return value;
}

}  // namespace msgtest
