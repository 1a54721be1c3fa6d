// The Kvel radio records: every command record whole, the status record
// whole, and the records and values refused.

#include "rtp/radio/sig_proto.h"

#include <gtest/gtest.h>

#include "asn1/coders/avn_encoder.h"
#include "tests/support/bytes.h"
#include "tests/support/radio_values.h"

using support::hex;
using support::text;

namespace {

// The sample values of support::kvelCommand as the records hold them.
std::string const addr = " 00 00 00 CA FE 00 01 08 31 30 2E 30 2E 30 2E 31";
std::string const flags = " 00 00 00 03 01 55 02 00 01 2C 00 00";
std::string const freq = " 00 00 00 07 05 31 31 38 2E 35";
std::string const remote = " 04 09";
std::string const ip_ssrc = " 08 31 30 2E 30 2E 30 2E 32 01 02 03 04";
std::string const cid = " 02 41 42";

std::string const status = flags + freq + remote + " 02 05 01 06 00";

sig_proto::Decoded decodeText(std::string const& bytes) {
    support::Bytes const data = hex(bytes);
    return sig_proto::decodeStatus(data.data(), data.size());
}

}  // namespace

TEST(SigProto, EncodesEveryCommandAsAWholeRecord) {
    // The bodies of the alternatives in order, gw-set-flags to wm-standby.
    // clang-format off
    std::string const bodies[] = {
        flags, freq, flags, flags, flags, flags, flags, flags, flags + ip_ssrc + cid, remote,
        " 02", " 05", " 01", flags, flags + ip_ssrc, " 02 51 37", freq + " 02 05",
        flags + ip_ssrc + cid, remote, " 01 06 00"};
    // clang-format on
    for (int index = 0; index < 20; ++index) {
        char command[3];
        std::snprintf(command, sizeof(command), "%02X", index);
        sig_proto::Encoded const encoded = sig_proto::encodeCommand(support::kvelCommand(index));
        EXPECT_EQ(encoded.fault, "") << index;
        EXPECT_EQ(text(encoded.bytes), command + addr + bodies[index]) << index;
    }
}

TEST(SigProto, RefusesStatusRecordsCutShortOverlongOrOutsideTheirCodes) {
    std::string const cut = status.substr(0, status.size() - 3);
    std::string const wide_li =
        " 00 00 00 03 01 55 02 00 02 00 00 00" + freq + remote + " 02 05 01 06 00";
    struct Bad {
        std::string bytes;
        char const* fault;
    } const bads[] = {
        {cut, "status record of 28 bytes ends inside its standby state"},
        {status + " 00", "1 bytes follow the 29-byte status"},
        {flags + freq + remote + " 03 05 01 06 00", "squelshe 3 has no meaning"},
        {wide_li, "li 512 has no meaning"},
        {flags + freq + remote + " 02 05 02 06 00", "standby state 2 has no meaning"},
        {"", "status record of 0 bytes ends inside its prio"},
    };
    for (Bad const& bad : bads) EXPECT_EQ(decodeText(bad.bytes).fault, bad.fault) << bad.bytes;
}

TEST(SigProto, RefusesCommandValuesItsFieldsCannotHold) {
    TERM::KvelRadioModifier long_text = support::kvelCommand(1);
    long_text.set_params().select_gw_set_freq().set_freq().set_frequency(std::string(256, '1'));
    TERM::KvelRadioModifier wide_li = support::kvelCommand(0);
    wide_li.set_params().select_gw_set_flags().set_flags().set_li(512);
    TERM::KvelRadioModifier not_use = support::kvelCommand(12);
    not_use.set_params().select_gw_set_standby().set_state(TERM::RadioStandby::not_use);
    TERM::KvelRadioModifier none = support::kvelCommand(12);
    none.set_params() = TERM::KvelRadioModifierParams();
    struct Bad {
        TERM::KvelRadioModifier const& command;
        char const* fault;
    } const bads[] = {
        {long_text, "frequency of 256 characters is longer than 255"},
        {wide_li, "li 512 has no code in the record"},
        {not_use, "standby state -1 has no code in the record"},
        {none, "no command chosen"},
    };
    for (Bad const& bad : bads) {
        sig_proto::Encoded const encoded = sig_proto::encodeCommand(bad.command);
        EXPECT_EQ(encoded.fault, bad.fault);
        EXPECT_TRUE(encoded.bytes.empty());
    }
}
