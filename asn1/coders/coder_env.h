#pragma once
// The coder environment selects the encoding rules with which a value is
// written or read; ASN1::encode / ASN1::decode are the entry points the
// control link uses (one environment per message, rule Per).

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <loki/AssocVector.h>

#include "asn1/coders/avn_encoder.h"
#include "asn1/coders/ber_encoder.h"
#include "asn1/coders/per_decoder.h"
#include "asn1/coders/per_encoder.h"
#include "asn1/types/abstract_data.h"

namespace ASN1 {

class Module;

class CoderEnv {
public:
    enum EncodingRules : int32_t { avn = 0, ber = 1, per_Aligned = 2 };

    CoderEnv() = default;
    CoderEnv(CoderEnv const&) = delete;
    CoderEnv& operator=(CoderEnv const&) = delete;

    void set_encodingRule(EncodingRules rule) { rule_ = rule; }
    EncodingRules get_encodingRule() const { return rule_; }

    // Appends the encoding of `value` through `out`; nothing on failure.
    template <class OutputIterator>
    bool encode(AbstractData const& value, OutputIterator out) {
        switch (rule_) {
            case per_Aligned:
                return encodePER(value, out);
            case ber:
                return encodeBER(value, out);
            case avn:
                return encodeAVN(value, out);
            default:
                return false;
        }
    }

    template <class OutputIterator>
    bool encodePER(AbstractData const& value, OutputIterator out) {
        // One scratch buffer per thread: no allocation per message.
        static thread_local std::vector<char> octets;
        if (!encodeInto(value, octets)) return false;
        append(octets, out);
        return true;
    }
    // Into an empty vector the encoder writes directly; a failure leaves it
    // empty.
    bool encodePER(AbstractData const& value, std::back_insert_iterator<std::vector<char>> out) {
        std::vector<char>& target = Target(out).vector();
        if (!target.empty())
            return encodePER<std::back_insert_iterator<std::vector<char>>>(value, out);
        if (encodeInto(value, target)) return true;
        target.clear();
        return false;
    }

    template <class OutputIterator>
    bool encodeBER(AbstractData const& value, OutputIterator out) {
        std::vector<char> octets;
        BEREncoder encoder(octets);
        if (!value.accept(encoder)) return false;
        std::copy(octets.begin(), octets.end(), out);
        return true;
    }

    template <class OutputIterator>
    bool encodeAVN(AbstractData const& value, OutputIterator out) {
        std::ostringstream text;
        AVNEncoder encoder(text);
        if (!value.accept(encoder)) return false;
        std::string const s = text.str();
        std::copy(s.begin(), s.end(), out);
        return true;
    }

    // Fills `value` (of the expected type) from [begin, end). With
    // withoutEnv the decoder runs without this environment.
    bool decode(char const* begin, char const* end, AbstractData& value, bool withoutEnv);

private:
    // The vector behind a back-inserting iterator.
    struct Target : std::back_insert_iterator<std::vector<char>> {
        explicit Target(std::back_insert_iterator<std::vector<char>> it)
            : std::back_insert_iterator<std::vector<char>>(it) {}
        std::vector<char>& vector() { return *container; }
    };

    // The whole encoding into `octets` (cleared first).
    static bool encodeInto(AbstractData const& value, std::vector<char>& octets) {
        PEREncoder encoder(octets, true);
        if (!value.accept(encoder)) return false;
        // A complete encoding is never empty: a value of no bits (a NULL)
        // goes out as one zero octet.
        if (octets.empty()) octets.push_back(0);
        return true;
    }
    template <class OutputIterator>
    static void append(std::vector<char> const& octets, OutputIterator out) {
        std::copy(octets.begin(), octets.end(), out);
    }
    // Appending to a vector: one bulk insert.
    static void append(std::vector<char> const& octets,
                       std::back_insert_iterator<std::vector<char>> out) {
        std::vector<char>& v = Target(out).vector();
        v.insert(v.end(), octets.begin(), octets.end());
    }

    struct NameLess {
        typedef char const* first_argument_type;
        typedef char const* second_argument_type;
        typedef bool result_type;
        bool operator()(char const* a, char const* b) const { return std::strcmp(a, b) < 0; }
    };

    EncodingRules rule_ = EncodingRules(-1);
    // Module registry by name; nothing registers modules in this build.
    Loki::AssocVector<char const*, Module*, NameLess> modules_;
};

template <class OutputIterator>
bool encode(AbstractData const& value, CoderEnv* env, OutputIterator out) {
    return env && env->encode(value, out);
}

inline bool decode(char const* begin, char const* end, CoderEnv* env, AbstractData& value,
                   bool withoutEnv) {
    return env && env->decode(begin, end, value, withoutEnv);
}

}  // namespace ASN1
