// The radio header extension codec: whole extensions both ways, and the
// extensions and values it refuses.

#include "rtp/radio/r2s_proto.h"

#include <gtest/gtest.h>

#include "asn1/coders/avn_encoder.h"
#include "tests/support/bytes.h"
#include "tests/support/radio_values.h"

using support::ed137Header;
using support::ed137Sqi;
using support::hex;
using support::text;
using PTT = TERM::ED137RadioPTT;
using Method = TERM::ED137RadioBSSMethod;

namespace {

struct Case {
    uint16_t profile;
    TERM::ED137RadioHeader header;
    bool has_sqi;
    TERM::ED137RadioExtensionSQI sqi;
    char const* bytes;
    bool encoded = true;  // false: read only, not what the encoder writes
};

// clang-format off
std::vector<Case> const cases = {
    {r2s_proto::profile_v1, ed137Header(PTT::normal_ptt_on, true, 5, false, true), false, {},
     "01 67 00 01 31 50 00 00"},
    {r2s_proto::profile_v1, ed137Header(PTT::emergency_ptt_on, false, 63, true, false, true), true,
     ed137Sqi(Method::agc, 31), "01 67 00 01 8F E9 11 F9"},
    {r2s_proto::profile_v0, ed137Header(PTT::ptt_off, false, 0), false, {},
     "00 67 00 01 00 00 00 00"},
    // The first layout, one word: PTT type 1, SQU, PTT-id 9, SCT
    // (001 1 1001 1 0 ...).
    {r2s_proto::profile_v0, ed137Header(PTT::normal_ptt_on, true, 9, false, false, true), false,
     {}, "00 67 00 01 39 80 00 00"},
    // PTT type 4, PTT-id 15, X, feature type 1 length 1, quality 31 in bits
    // 13-6, method PSD (3) in bits 5-3: 100 0 1111 0 1 0001 0001 00011111 011 00 0.
    {r2s_proto::profile_v0, ed137Header(PTT::emergency_ptt_on, false, 15), true,
     ed137Sqi(Method::psd, 31), "00 67 00 01 8F 44 47 D8"},
    // A feature of type 2 with VF set is passed over.
    {r2s_proto::profile_v0, ed137Header(PTT::coupling_ptt_on, false, 3), false, {},
     "00 67 00 01 43 4C 64 69", false},
    {r2s_proto::profile_v1, ed137Header(PTT::coupling_ptt_on, false, 0), true,
     ed137Sqi(Method::psd, 0), "01 67 00 01 40 01 11 03"},
    // Priority PTT, a block of type 3 with two octets passed over, then the
    // signal quality (quality 9, C/N) and one octet of padding.
    {r2s_proto::profile_v1, ed137Header(PTT::priority_ptt_on, false, 0), true,
     ed137Sqi(Method::c_n, 9), "01 67 00 02 60 01 32 AA BB 11 4A 00", false},
};
// clang-format on

r2s_proto::Decoded decodeText(std::string const& bytes) {
    support::Bytes const data = hex(bytes);
    return r2s_proto::decode(data.data(), data.size());
}

}  // namespace

TEST(R2sProto, EncodesAndDecodesWholeExtensions) {
    for (Case const& c : cases) {
        r2s_proto::Encoded const encoded =
            r2s_proto::encode(c.profile, c.header, c.has_sqi ? &c.sqi : nullptr);
        EXPECT_EQ(encoded.fault, "");
        if (c.encoded) {
            EXPECT_EQ(text(encoded.bytes), c.bytes);
        }

        r2s_proto::Decoded const decoded = decodeText(c.bytes);
        EXPECT_EQ(decoded.fault, "") << c.bytes;
        TERM::ED137RadioStatus expected;
        expected.set_header(c.header);
        if (c.has_sqi) expected.set_sqi(c.sqi);
        EXPECT_TRUE(decoded.status == expected) << c.bytes << '\n' << decoded.status;
    }
}

TEST(R2sProto, RefusesExtensionsCutShortOrOutsideTheirCodes) {
    struct Bad {
        char const* bytes;
        char const* fault;
    } const bads[] = {
        {"01 67 00 01 31", "extension of 5 bytes is shorter than its header"},
        {"01 67 00 00 31 50", "extension length of 0 words holds no radio header"},
        {"01 67 00 02 31 50 00 00", "extension length of 2 words runs past its 8 bytes"},
        {"12 34 00 01 31 50 00 00", "extension of profile 0x1234 is no radio header"},
        {"01 67 00 01 A0 00 00 00", "extension with reserved PTT type 5"},
        {"01 67 00 01 20 01 13 AA", "feature block of type 1 runs past the extension"},
        {"01 67 00 01 20 01 11 0D", "signal-quality block of 1 octets, method 5, has no meaning"},
        {"00 67 00 01 A0 00 00 00", "extension with reserved PTT type 5"},
        {"00 67 00 00 20 00 00 00", "extension length of 0 words holds no radio header"},
        {"00 67 00 01 00 44 48 00",
         "signal-quality feature of quality 32, method 0, has no meaning"},
    };
    for (Bad const& bad : bads) EXPECT_EQ(decodeText(bad.bytes).fault, bad.fault) << bad.bytes;
}

TEST(R2sProto, RefusesValuesItsFieldsCannotHoldRatherThanCuttingThem) {
    TERM::ED137RadioHeader const wide_id = ed137Header(PTT::normal_ptt_on, false, 64);
    TERM::ED137RadioHeader const fine = ed137Header(PTT::normal_ptt_on, false, 1);
    TERM::ED137RadioHeader no_ptt = fine;
    no_ptt.set_ptt(PTT::NamedNumber(5));
    TERM::ED137RadioExtensionSQI const loud = ed137Sqi(Method::rssi, 32);
    TERM::ED137RadioHeader const id16 = ed137Header(PTT::normal_ptt_on, false, 16);
    TERM::ED137RadioHeader const muted = ed137Header(PTT::normal_ptt_on, false, 1, true);
    TERM::ED137RadioHeader const summed = ed137Header(PTT::normal_ptt_on, false, 1, false, true);
    struct Bad {
        uint16_t profile;
        TERM::ED137RadioHeader const& header;
        TERM::ED137RadioExtensionSQI const* sqi;
        char const* fault;
    } const bads[] = {
        {r2s_proto::profile_v1, wide_id, nullptr, "PTT-id 64 is above 63"},
        {r2s_proto::profile_v1, fine, &loud, "BSS quality 32 is above 31"},
        {r2s_proto::profile_v1, no_ptt, nullptr, "PTT type 5 has no code"},
        {r2s_proto::profile_v0, id16, nullptr, "PTT-id 16 is above 15"},
        {r2s_proto::profile_v0, muted, nullptr, "PTT mute has no field in the first header layout"},
        {r2s_proto::profile_v0, summed, nullptr,
         "PTT summation has no field in the first header layout"},
        {r2s_proto::profile_v0, fine, &loud, "BSS quality 32 is above 31"},
    };
    // The later layout holds a PTT-id of 16.
    EXPECT_EQ(r2s_proto::encode(r2s_proto::profile_v1, id16, nullptr).fault, "");
    for (Bad const& bad : bads) {
        r2s_proto::Encoded const encoded = r2s_proto::encode(bad.profile, bad.header, bad.sqi);
        EXPECT_EQ(encoded.fault, bad.fault);
        EXPECT_TRUE(encoded.bytes.empty());
    }
}
