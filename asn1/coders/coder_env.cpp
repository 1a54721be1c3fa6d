#include "asn1/coders/coder_env.h"

#include <sstream>

#include "asn1/coders/avn_decoder.h"
#include "asn1/coders/ber_decoder.h"

namespace ASN1 {

bool CoderEnv::decode(char const* begin, char const* end, AbstractData& value, bool withoutEnv) {
    switch (rule_) {
        case per_Aligned: {
            PERDecoder decoder(begin, end, withoutEnv ? nullptr : this, true);
            return value.accept(decoder);
        }
        case ber: {
            BERDecoder decoder(begin, end, withoutEnv ? nullptr : this);
            return value.accept(decoder);
        }
        case avn: {
            std::istringstream text(std::string(begin, end));
            AVNDecoder decoder(text, nullptr);
            return value.accept(decoder);
        }
        default:
            return false;
    }
}

}  // namespace ASN1
