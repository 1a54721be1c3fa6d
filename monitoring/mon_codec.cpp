#include "monitoring/mon_codec.h"

#include <iterator>

#include "asn1/asn1.h"

namespace MonCodec {

bool Encode(ASN1::AbstractData const& value, std::vector<char>& octets) {
    octets.clear();
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    return ASN1::encode(value, &env, std::back_inserter(octets));
}

bool Decode(char const* data, int length, MON::Message& message) {
    if (length < 0) return false;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    return ASN1::decode(data, data + length, &env, message, true);
}

}  // namespace MonCodec
