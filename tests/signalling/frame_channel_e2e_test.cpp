// The frame channels under the signalling links of the real server, whose
// writes the simulated board fails: a streak of failures is said once, with
// its count when frames go out again, and counted in the link's report.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/board_tool.h"
#include "tests/support/signalling_session.h"

using namespace support;

TEST(FrameChannels, SayAStreakOfFailedWritesOnceAndCountEveryOne) {
    struct Case {
        char const* create;
        int failures;
        char const* header;
        char const* first;  // the size of the first frame
    };
    // An SS7 link repeats its status unit every 10 ms; a LAPD link sends
    // its SABME again every 60 ms.
    Case const cases[] = {
        {"create : pstn : ss7 : { trunk 16, slc 1, dpc 1, opc 2, emergency FALSE }", 40,
         "hdlc [0/16]: ", "4"},
        {"create : isdn : { type pri, trunk 0, log 0, side user : NULL }", 2, "01:MCC: ", "3"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.create);
        SignallingSession s;
        s.run(command(1, 1, c.create) + "$ fail mcc/ctl write EIO " +
              std::to_string(c.failures) + "\n" + activate(2, 1));
        std::string const again =
            std::string(c.header) + "frames sent again after " + std::to_string(c.failures) +
            " failed\n";
        ASSERT_TRUE(s.server.errHas(again)) << s.server.err();
        std::string const err = s.server.err();
        EXPECT_NE(err.find(std::string(c.header) +
                           "frame of " + c.first + " octets not sent: Input/output error (the frames that "
                           "fail after it are counted only)\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(occurrences(err, "not sent"), 1u);
        EXPECT_EQ(occurrences(err, "sent again"), 1u);
        if (c.failures > 2) {
            EXPECT_TRUE(s.hasReport("hdlcLinkInfo", 1,
                                    "{ slot 1, pdu signal : ioctl : hdlcLinkInfo : { txSU ..., "
                                    "txDiscard 0, txError 40, txOverflow 0, rxSU 0 } }"));
        }
    }
}
