#include "rtp/radio/r2s_proto.h"

#include <sstream>

#include "hardware/device/record.h"

namespace r2s_proto {

namespace {

constexpr size_t profile_header = 4;
constexpr size_t radio_bits = 2;  // the fixed radio fields
constexpr unsigned max_ptt_type = 4;
constexpr unsigned max_method = 3;

// The first 16 bits after the profile header.
uint16_t radioBits(TERM::ED137RadioHeader const& h, bool more) {
    return uint16_t(unsigned(h.get_ptt().asInt()) << 13 |
                    unsigned(bool(h.get_squ().asInt())) << 12 | h.get_ptt_id().getValue() << 6 |
                    unsigned(bool(h.get_ptt_mute())) << 5 |
                    unsigned(bool(h.get_ptt_summation())) << 4 | unsigned(bool(h.get_sct())) << 3 |
                    unsigned(more));
}

std::string checkHeader(uint16_t profile, TERM::ED137RadioHeader const& header) {
    std::ostringstream fault;
    unsigned const ptt = unsigned(header.get_ptt().asInt());
    unsigned const max_id = profile == profile_v0 ? max_ptt_id_v0 : max_ptt_id;
    if (ptt > max_ptt_type)
        fault << "PTT type " << header.get_ptt().asInt() << " has no code";
    else if (unsigned(header.get_squ().asInt()) > 1)
        fault << "SQU " << header.get_squ().asInt() << " has no code";
    else if (header.get_ptt_id().getValue() > max_id)
        fault << "PTT-id " << header.get_ptt_id().getValue() << " is above " << max_id;
    else if (profile == profile_v0 && header.get_ptt_mute())
        fault << "PTT mute has no field in the first header layout";
    else if (profile == profile_v0 && header.get_ptt_summation())
        fault << "PTT summation has no field in the first header layout";
    return fault.str();
}

// The one word of the first layout.
uint32_t firstLayoutWord(TERM::ED137RadioHeader const& h, TERM::ED137RadioExtensionSQI const* sqi) {
    uint32_t word = uint32_t(h.get_ptt().asInt()) << 29 |
                    uint32_t(bool(h.get_squ().asInt())) << 28 |
                    uint32_t(h.get_ptt_id().getValue()) << 24 | uint32_t(bool(h.get_sct())) << 23;
    if (sqi)
        word |= 1u << 22 | uint32_t(feature_sqi) << 18 | 1u << 14 |
                uint32_t(sqi->get_bss_quality().getValue()) << 6 |
                uint32_t(sqi->get_bss_method().asInt()) << 3;
    return word;
}

std::string checkSqi(TERM::ED137RadioExtensionSQI const& sqi) {
    std::ostringstream fault;
    if (unsigned(sqi.get_bss_method().asInt()) > max_method)
        fault << "BSS method " << sqi.get_bss_method().asInt() << " has no code";
    else if (sqi.get_bss_quality().getValue() > max_bss_quality)
        fault << "BSS quality " << sqi.get_bss_quality().getValue() << " is above "
              << max_bss_quality;
    return fault.str();
}

Decoded refused(std::string const& why) {
    Decoded decoded;
    decoded.fault = why;
    return decoded;
}

// The radio header of the fields read, in either layout; refused for a
// reserved PTT type.
Decoded header(unsigned ptt, unsigned squ, unsigned ptt_id, bool mute, bool summation, bool sct) {
    if (ptt > max_ptt_type)
        return refused("extension with reserved PTT type " + std::to_string(ptt));
    Decoded decoded;
    TERM::ED137RadioHeader& h = decoded.status.set_header();
    h.set_ptt(TERM::ED137RadioPTT::NamedNumber(ptt));
    h.set_squ(TERM::ED137RadioSQU::NamedNumber(squ));
    h.set_ptt_id(ptt_id);
    h.set_ptt_mute(mute);
    h.set_ptt_summation(summation);
    h.set_sct(sct);
    return decoded;
}

void setSqi(Decoded& decoded, unsigned method, unsigned quality) {
    TERM::ED137RadioExtensionSQI sqi;
    sqi.set_bss_method(TERM::ED137RadioBSSMethod::NamedNumber(method));
    sqi.set_bss_quality(quality);
    decoded.status.set_sqi(sqi);
}

// The one word of the first layout; what follows it is not read.
Decoded decodeFirstLayout(uint32_t word) {
    Decoded decoded =
        header(word >> 29, word >> 28 & 1, word >> 24 & 0x0F, false, false, word >> 23 & 1);
    if (!decoded.fault.empty() || !(word >> 22 & 1) || (word >> 18 & 0x0F) != feature_sqi)
        return decoded;
    unsigned const quality = word >> 6 & 0xFF, method = word >> 3 & 7;
    if (quality > max_bss_quality || method > max_method) {
        std::ostringstream why;
        why << "signal-quality feature of quality " << quality << ", method " << method
            << ", has no meaning";
        return refused(why.str());
    }
    setSqi(decoded, method, quality);
    return decoded;
}

}  // namespace

Encoded encode(uint16_t profile, TERM::ED137RadioHeader const& header,
               TERM::ED137RadioExtensionSQI const* sqi) {
    Encoded encoded;
    encoded.fault = checkHeader(profile, header);
    if (encoded.fault.empty() && sqi) encoded.fault = checkSqi(*sqi);
    if (!encoded.fault.empty()) return encoded;

    std::vector<uint8_t> body(radio_bits);
    Device::put16(body.data(), radioBits(header, sqi != nullptr));
    if (profile == profile_v0) {
        body.resize(4);
        Device::put32(body.data(), firstLayoutWord(header, sqi));
    } else if (sqi) {
        body.push_back(uint8_t(feature_sqi << 4 | 1));
        body.push_back(uint8_t(sqi->get_bss_quality().getValue() << 3 |
                               unsigned(sqi->get_bss_method().asInt())));
    }
    body.resize((body.size() + 3) / 4 * 4, 0);

    encoded.bytes.resize(profile_header);
    Device::put16(encoded.bytes.data(), profile);
    Device::put16(encoded.bytes.data() + 2, uint16_t(body.size() / 4));
    encoded.bytes.insert(encoded.bytes.end(), body.begin(), body.end());
    return encoded;
}

Decoded decode(uint8_t const* data, size_t size) {
    std::ostringstream why;
    if (size < profile_header + radio_bits) {
        why << "extension of " << size << " bytes is shorter than its header";
        return refused(why.str());
    }
    uint16_t const profile = Device::get16(data);
    if (profile != profile_v0 && profile != profile_v1) {
        why << "extension of profile 0x" << std::hex << profile << " is no radio header";
        return refused(why.str());
    }
    size_t const words = Device::get16(data + 2);
    if (words == 0) {
        why << "extension length of 0 words holds no radio header";
        return refused(why.str());
    }
    if (profile_header + 4 * words > size) {
        why << "extension length of " << words << " words runs past its " << size << " bytes";
        return refused(why.str());
    }
    if (profile == profile_v0) return decodeFirstLayout(Device::get32(data + profile_header));
    uint8_t const* const end = data + profile_header + 4 * words;
    unsigned const bits = Device::get16(data + profile_header);
    Decoded decoded = header(bits >> 13, bits >> 12 & 1, bits >> 6 & 0x3F, bits >> 5 & 1,
                             bits >> 4 & 1, bits >> 3 & 1);
    if (!decoded.fault.empty() || !(bits & 1)) return decoded;

    for (uint8_t const* at = data + profile_header + radio_bits; at < end && *at != 0;) {
        unsigned const type = *at >> 4;
        size_t const length = *at & 0x0F;
        if (size_t(end - at) < 1 + length) {
            why << "feature block of type " << type << " runs past the extension";
            return refused(why.str());
        }
        if (type == feature_sqi) {
            unsigned const method = length == 1 ? at[1] & 7 : 0;
            if (length != 1 || method > max_method) {
                why << "signal-quality block of " << length << " octets, method " << method
                    << ", has no meaning";
                return refused(why.str());
            }
            setSqi(decoded, method, unsigned(at[1] >> 3));
        }
        at += 1 + length;
    }
    return decoded;
}

}  // namespace r2s_proto
