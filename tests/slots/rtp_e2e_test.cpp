// The RTP factories as the controller meets them: their channel counts in the
// resource report, and the creates they decline.

#include <gtest/gtest.h>

#include "tests/support/board_tool.h"
#include "tests/support/script.h"
#include "tests/support/harness.h"

using namespace support;

namespace {

std::string report(char const* g729, char const* g723, char const* g711, char const* mcc,
                   char const* universal) {
    return std::string("< { pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 ") + g729 +
           ", rtp-g723 " + g723 + ", rtp-g711 " + g711 + ", rtp-g711mcc " + mcc +
           ", ... universal " + universal + " } }\n";
}

std::string const create_rtp =
    "> { seq 2, slot 9, pdu command : create : rtp : { codecRTP { payload %s, dhost { iaddr "
    "\"10.0.0.2\", port 4000 } }, txPayload ptG729, rxPayload ptG729 } }\n"
    "< { seq 2, slot 9, pdu response : error : insufficientResources }\n";

std::string create(char const* payload) {
    std::string text = create_rtp;
    text.replace(text.find("%s"), 2, payload);
    return text;
}

}  // namespace

TEST(RtpFactories, ReportTheVoiceDriversCountsAndDeclineEveryCreate) {
    struct Case {
        char const* board;
        std::string counts;
        char const* line;
    } const cases[] = {
        {"", report("32", "32", "64", "64", "64"), nullptr},
        {"voice count 4 12\nvoice count 65 3\n", report("12", "32", "64", "64", "3"), nullptr},
        {"absent voice\n", report("0", "0", "0", "0", "0"),
         "RTP: device \"/dev/voice\" open fail: No such file or directory\n"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.board);
        ServerProcess server;
        describeBoard(server.root(), c.board);
        ASSERT_TRUE(server.start());
        Controller controller;
        ASSERT_TRUE(controller.connect(server.port()));
        EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : unknown }");
        runScript(server, controller,
                  "> { seq 1, pdu command : query : NULL }\n"
                  "< { seq 1, pdu response : success : NULL }\n" +
                      c.counts + create("reserv-1") + create("ptG729"));
        if (c.line) {
            EXPECT_TRUE(server.errHas(c.line));
        }
    }
}

TEST(RtpFactories, SayWhyTheyDeclineACreate) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : unknown }");
    runScript(server, controller, create("reserv-1") + create("ptG729"));
    EXPECT_TRUE(server.errHas("RTP: rtp do not created: payload 6not found\n"));
    EXPECT_TRUE(server.errHas("RTP: rtp do not created: this server opens no RTP session\n"));
}
