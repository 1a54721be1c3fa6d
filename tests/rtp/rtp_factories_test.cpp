// The RTP factories: the channel counts they read from the voice driver for
// the resource report, which of them a create with `rtp` reaches and what it
// says, and the counts the server program asks for when it starts.

#include "rtp/rtp_factories.h"

#include <gtest/gtest.h>

#include "tests/support/board_tool.h"
#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/harness.h"

using support::board;

namespace {

support::TempRoot const root;

// rtp-g729, rtp-g723, rtp-g711, rtp-g711mcc and universal of a report that
// held 99 in each before.
std::string counts(SlotFactory& factory) {
    LGCP::Resources report;
    report.set_rtp_g729(99), report.set_rtp_g723(99), report.set_rtp_g711(99);
    report.set_rtp_g711mcc(99), report.set_universal(99);
    factory.Query(report);
    std::string text;
    for (ASN1::INTEGER const* n :
         {&report.get_rtp_g729(), &report.get_rtp_g723(), &report.get_rtp_g711(),
          &report.get_rtp_g711mcc(), &report.get_universal()})
        text += std::to_string(n->getValue()) + " ";
    return text;
}

}  // namespace

TEST(RtpFactoryQuery, SetsEachCountFromItsSelectorOrZeroWithoutTheVoiceDriver) {
    RtpKVELFactory& factory = RtpKVELFactory::instance();
    for (char const* count : {"4 30", "2 31", "1 60", "8 0", "65 7"})
        board(std::string("voice count ") + count);
    EXPECT_EQ(counts(factory), "30 31 60 0 7 ");
    board("absent voice");
    support::StreamCapture errors(std::cerr);
    EXPECT_EQ(counts(factory), "0 0 0 0 0 ");
    EXPECT_EQ(errors.text(),
              "RTP Ext KVEL: device \"/dev/voice\" open fail: No such file or directory\n");
}

TEST(RtpFactoryCreate, TheRadioPartChoosesTheFactoryWhoseTableMustKnowThePayload) {
    enum Radio { none, kvel, ed137 };
    struct Case {
        Radio radio;
        TERM::Payload::NamedNumber payload;
        char const* line;
    } const cases[] = {
        {none, TERM::Payload::ptG729,
         "RTP: rtp do not created: remote address \"\" is no IPv4 address"},
        {kvel, TERM::Payload::ptG711_Alaw,
         "RTP Ext KVEL: rtp do not created: remote address \"\" is no IPv4 address"},
        {ed137, TERM::Payload::ptG728,
         "RTP Ext ED137: rtp do not created: remote address \"\" is no IPv4 address"},
        {ed137, TERM::Payload::reserv_1, "RTP Ext ED137: rtp do not created: payload 6not found"},
        {none, TERM::Payload::ptR2S, "RTP: rtp do not created: payload 123not found"},
    };
    SlotFactory* const factories[] = {&RtpFactory::instance(), &RtpKVELFactory::instance(),
                                      &RtpED137Factory::instance()};
    for (Case const& c : cases) {
        LGCP::CreateParams params;
        TERM::RtpParams& rtp = params.select_rtp().set_codecRTP();
        rtp.set_payload(c.payload);
        TERM::RtpRadioRequest radio;
        if (c.radio == kvel) radio.set_status().select_kvel();
        if (c.radio == ed137) radio.set_status().select_ed_137();
        if (c.radio != none) rtp.set_radio(radio);
        support::StreamCapture errors(std::cerr);
        for (SlotFactory* factory : factories) EXPECT_EQ(factory->NewSlot(params), nullptr);
        EXPECT_EQ(errors.text(), std::string(c.line) + "\n");
    }
}

TEST(RtpFactoriesE2E, EachCountsTheCodecsOnceAtStart) {
    support::ServerProcess server;
    ASSERT_TRUE(server.start());
    std::string expected;
    for (char const* open : {"voice#1", "voice#2", "voice#3"})
        for (char const* selector : {"4", "2", "1", "8", "65"})
            expected += std::string(open) + " VOICE_COUNT " + selector + "\n";
    EXPECT_EQ(support::boardTool(server.root(), "log voice VOICE_COUNT"), expected);
}
