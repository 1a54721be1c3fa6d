#include "asn1/coders/coder_env.h"

namespace ASN1 {

bool CoderEnv::decode(char const* begin, char const* end, AbstractData& value, bool withoutEnv) {
    switch (rule_) {
        case per_Aligned: {
            PERDecoder decoder(begin, end, withoutEnv ? nullptr : this, true);
            return value.accept(decoder);
        }
        case avn:  // no value-notation reader in this build
        case ber:  // no BER coder in this build
        default:
            return false;
    }
}

}  // namespace ASN1
