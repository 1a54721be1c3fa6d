// The generated tables as the runtime reads them: how many types each module
// has and reaches, that every table a message can reach can make its values,
// that those values are of the generated classes, and how values print.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "messages/acp/acp.h"
#include "messages/base/base.h"
#include "messages/ccp/ccp.h"
#include "messages/hsp/hsp.h"
#include "messages/lgcp/lgcp.h"
#include "messages/media/media.h"
#include "messages/mon/mon.h"
#include "messages/rerira/rerira.h"
#include "messages/term/term.h"
#include "message_modules.h"
#include "per_check.h"

namespace {

using MessageModules::generatedRecords;
using MessageModules::reachableFromTheMessages;
using MessageModules::tagOf;
auto const& modules = MessageModules::all;

std::string text(ASN1::AbstractData const& value) {
    std::ostringstream os;
    os << value;
    return os.str();
}

}  // namespace

TEST(MessageTables, EveryModuleHasThePublishedNumberOfTypesOfEachKind) {
    // types, SEQUENCE, CHOICE, ENUMERATED, sized strings
    std::map<std::string, std::vector<unsigned>> const expected = {
        {"LGCP", {106, 63, 24, 19, 0}},  {"ACP", {42, 21, 7, 14, 0}},
        {"MON", {19, 11, 7, 1, 0}},      {"HSP", {21, 11, 4, 6, 0}},
        {"BASE", {3, 1, 0, 2, 0}},       {"MEDIA", {11, 3, 7, 1, 0}},
        {"CCP", {2, 1, 1, 0, 0}},        {"TERM", {155, 84, 39, 31, 1}},
        {"RERIRA", {145, 92, 20, 33, 0}}};
    for (auto const& m : modules) {
        std::vector<unsigned> got = {m.count, 0, 0, 0, 0};
        for (unsigned i = 0; i < m.count; ++i) {
            unsigned const tag = tagOf(m.types[i]);
            got[tag == 16 ? 1 : tag == 0 ? 2 : tag == 10 ? 3 : 4] += 1;
        }
        EXPECT_EQ(got, expected.at(m.name)) << m.name;
    }
}

TEST(MessageTables, TheTwoMessagesReachThePublishedNumberOfTypesPerModule) {
    auto const generated = generatedRecords();
    std::map<std::string, unsigned> got;
    for (void const* r : reachableFromTheMessages())
        if (generated.count(r)) ++got[generated.at(r)];
    std::map<std::string, unsigned> const expected = {{"LGCP", 105},  {"ACP", 10}, {"MON", 19},
                                                      {"HSP", 1},     {"BASE", 1}, {"TERM", 68},
                                                      {"RERIRA", 140}};
    EXPECT_EQ(got, expected);
}

TEST(MessageTables, EveryReachableTableCanMakeValuesBeforeAnyValueExists) {
    // Collection tables included: the keep-alive channel lists are among them.
    std::set<void const*> const reached = reachableFromTheMessages();
    EXPECT_TRUE(reached.count(
        &ASN1::SEQUENCE_OF<RERIRA::ProtoKvelPacketPayloadRadioChannelDigitalKeepAliveV1>::theInfo));
    EXPECT_TRUE(reached.count(
        &ASN1::SEQUENCE_OF<RERIRA::ProtoKvelPacketPayloadRadioChannelAnalogKeepAliveV1>::theInfo));
    for (void const* r : reached) {
        ASSERT_NE(static_cast<ASN1::BasicInfo const*>(r)->create, nullptr);
        std::unique_ptr<ASN1::AbstractData> value(ASN1::AbstractData::create(r));
        ASSERT_TRUE(value);
        EXPECT_EQ(value->info(), r);
    }
}

TEST(MessageTables, ValuesMadeByTheRuntimeAreObjectsOfTheGeneratedClasses) {
    std::unique_ptr<ASN1::AbstractData> made(ASN1::AbstractData::create(&LGCP::Message::theInfo));
    EXPECT_NE(dynamic_cast<LGCP::Message*>(made.get()), nullptr);

    LGCP::Message m;
    EXPECT_NE(dynamic_cast<LGCP::PDU*>(m.getField(2)), nullptr);
    TERM::RtpParams rtp;
    rtp.set_dname(std::string("x"));
    EXPECT_NE(dynamic_cast<TERM::RtpParams::dname::value_type*>(rtp.getField(3)), nullptr);

    LGCP::Resources r;
    r.ref_mixer().push_back(LGCP::MixerResources_subtype());
    EXPECT_NE(dynamic_cast<LGCP::MixerResources_subtype const*>(r.get_mixer().at(0)), nullptr);

    auto decoded = msgtest::decoded<LGCP::Signal>("42 80");
    ASSERT_TRUE(decoded);
    EXPECT_NE(dynamic_cast<LGCP::VADEvent const*>(decoded->getSelection()), nullptr);
    std::unique_ptr<LGCP::Signal> copy(decoded->clone());
    EXPECT_NE(dynamic_cast<LGCP::VADEvent const*>(copy->getSelection()), nullptr);
}

TEST(MessageTables, NamesTablesKeepTheNumbersOfNumberedItems) {
    EXPECT_STREQ(TERM::Payload_enum_names__[14], "ptR2S=123");
    EXPECT_STREQ(HSP::StandbyState_enum_names__[3], "speak=4");
    EXPECT_EQ(TERM::Payload::theInfo.maximum, 123);
    EXPECT_EQ(TERM::Payload::theInfo.nameCount, 15u);
    EXPECT_EQ(LGCP::Signal::tonec::index, 1);
    EXPECT_EQ(LGCP::Signal::vad::index, 16);
}

TEST(MessageValueNotation, EnumerationsPrintTheNameOfTheirNumberOrTheNumber) {
    EXPECT_EQ(text(HSP::StandbyState(HSP::StandbyState::active)), "active");
    EXPECT_EQ(text(HSP::StandbyState(HSP::StandbyState::speak)), "speak");
    EXPECT_EQ(text(TERM::IpQoSDSCP(TERM::IpQoSDSCP::count)), "count");
    EXPECT_EQ(text(TERM::RadioStandby(TERM::RadioStandby::not_use)), "not-use");
    TERM::Payload unnamed;
    unnamed.setFromInt(50);
    EXPECT_EQ(text(unnamed), "50");
}

TEST(MessageValueNotation, AMessagePrintsWithTheNamesAsWritten) {
    LGCP::Message m;
    m.set_slot(3u);
    LGCP::IoctlParams ioctl(LGCP::IoctlParams::dtmf_enable::index, true);
    m.set_pdu().select_command().select_ioctl(ioctl);
    EXPECT_EQ(text(m),
              "{\n"
              "  slot 3,\n"
              "  pdu command : ioctl : dtmf-enable : TRUE\n"
              "}");
}
