// The RTP factories as the controller meets them: their channel counts in the
// resource report, and the creates they decline with the reason.

#include <gtest/gtest.h>

#include "tests/support/slot_session.h"

using namespace support;

namespace {

std::string report(char const* g729, char const* g723, char const* g711, char const* mcc,
                   char const* universal) {
    return std::string("< { pdu signal : query : { boardMajor 0, boardMinor 0, rtp-g729 ") + g729 +
           ", rtp-g723 " + g723 + ", rtp-g711 " + g711 + ", rtp-g711mcc " + mcc +
           ", ... universal " + universal + " } }\n";
}

std::string create(char const* payload) {
    return std::string("> { seq 2, slot 9, pdu command : create : rtp : { codecRTP { payload ") +
           payload +
           ", dhost { iaddr \"10.0.0.2\", port 4000 } }, txPayload ptG729, rxPayload ptG729 } }\n"
           "< { seq 2, slot 9, pdu response : error : insufficientResources }\n";
}

}  // namespace

TEST(RtpFactories, ReportTheVoiceDriversCountsAndDeclineEveryCreate) {
    struct Case {
        char const* board;
        std::string counts;
        std::vector<char const*> lines;
    } const cases[] = {
        {"", report("32", "32", "64", "64", "64"),
         {"RTP: rtp do not created: payload 6not found\n",
          "RTP: rtp do not created: this server opens no RTP session\n"}},
        {"voice count 4 12\nvoice count 65 3\n", report("12", "32", "64", "64", "3"), {}},
        {"absent voice\n", report("0", "0", "0", "0", "0"),
         {"RTP: device \"/dev/voice\" open fail: No such file or directory\n"}},
    };
    for (Case const& k : cases) {
        SCOPED_TRACE(k.board);
        Connected c(k.board);
        c.run("> { seq 1, pdu command : query : NULL }\n"
              "< { seq 1, pdu response : success : NULL }\n" +
              k.counts + create("reserv-1") + create("ptG729"));
        for (char const* line : k.lines) EXPECT_TRUE(c.server.errHas(line)) << line;
    }
}
