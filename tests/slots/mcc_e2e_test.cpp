// Raw MCC channel slots of the real server, with the MCC's line side driven
// through the board tool.

#include <gtest/gtest.h>

#include "tests/support/slot_session.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// "55 55 ..." for n bytes of 0x55, as user data prints.
std::string hexOf(char const* byte, size_t n) {
    std::string text = byte;
    for (size_t i = 1; i < n; ++i) text += std::string(" ") + byte;
    return text;
}

}  // namespace

TEST(MccSlots, AllocateTheModeAskedAndCarryUserDataBothWays) {
    Connected c("mcc count 4 2 3\n");
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : mcc : { type data, mode standard } }
        < { seq 1, slot 1, pdu response : success : NULL }
        > { seq 2, slot 2, pdu command : create : mcc : { type transparent, mode standard } }
        < { seq 2, slot 2, pdu response : success : NULL }
        > { seq 3, slot 3, pdu command : create : mcc : { type data, mode ss7 } }
        < { seq 3, slot 3, pdu response : success : NULL }
        > { seq 4, slot 4, pdu command : create : mcc : { type bri, mode ss7 } }
        < { seq 4, slot 4, pdu response : success : NULL }
        > { seq 5, slot 5, pdu command : create : mcc : { type bri, mode standard } }
        < { seq 5, slot 5, pdu response : success : NULL }
        $ log mcc/ctl MCC_ALLOCATE
        = mcc/ctl#1 MCC_ALLOCATE 0 512 0 1 1
        = mcc/ctl#2 MCC_ALLOCATE 2 512 0 1 1
        = mcc/ctl#3 MCC_ALLOCATE 3 512 0 1 1
        = mcc/ctl#4 MCC_ALLOCATE 3 512 0 1 1
        = mcc/ctl#5 MCC_ALLOCATE 1 512 0 1 1
        > { seq 6, pdu command : query : NULL }
        < { seq 6, pdu response : success : NULL }
        < { pdu signal : query : { ... mcc-data 1, mcc-bri 1, mcc-trans 2, ... } }
        > { seq 7, slot 1, pdu command : userData : '0102FF'H }
        < { seq 7, slot 1, pdu response : success : NULL }
        $ mcc written 1024
        = 01 02 FF
    )");
    // A burst longer than the channel's packets of 512 comes in two, in order.
    EXPECT_EQ(boardTool(c.server.root(), "mcc send 1025 01*600"), "");
    EXPECT_EQ(nextMessage(c.controller),
              "{ slot 2, pdu signal : userData : '" + hexOf("01", 512) + "'H }");
    EXPECT_EQ(nextMessage(c.controller),
              "{ slot 2, pdu signal : userData : '" + hexOf("01", 88) + "'H }");

    // Destroying a slot releases its channel.
    c.run(R"(
        > { seq 11, slot 1, pdu command : destroy : NULL }
        < { seq 11, slot 1, pdu response : success : NULL }
        $ mcc
        = free: data 2 of 4 bri 1 of 2 transparent 2 of 3
        = 1025 transparent {2 512 0 1 1} mcc/ctl#2, in 600, out 0
        = 1026 data {3 512 0 1 1} mcc/ctl#3, in 0, out 0
        = 1027 data {3 512 0 1 1} mcc/ctl#4, in 0, out 0
        = 1028 bri {1 512 0 1 1} mcc/ctl#5, in 0, out 0
    )");
}

TEST(MccSlots, AreRefusedWhenTheMccCannotGiveAChannel) {
    Connected c("absent mcc/ctl\nmcc count 1 1 1\n");
    std::string const no_mcc =
        "< { pdu signal : query : { ... mcc-data 0, mcc-bri 0, mcc-trans 0, ... } }\n";
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : mcc : { type data, mode standard } }
        < { seq 1, slot 1, pdu response : error : insufficientResources }
        > { seq 2, pdu command : query : NULL }
        < { seq 2, pdu response : success : NULL }
    )" + no_mcc + R"(
        $ present mcc/ctl
        = /dev/mcc/ctl present
        $ fail mcc/ctl MCC_ALLOCATE EBUSY 1
        > { seq 3, slot 1, pdu command : create : mcc : { type data, mode standard } }
        < { seq 3, slot 1, pdu response : error : insufficientResources }
        $ fail mcc/ctl MCC_TIMESLOT EIO 1
        > { seq 4, slot 1, pdu command : create : mcc : { type data, mode standard } }
        < { seq 4, slot 1, pdu response : error : insufficientResources }
        > { seq 5, slot 1, pdu command : create : mcc : { type bri, mode standard } }
        < { seq 5, slot 1, pdu response : success : NULL }
        > { seq 6, slot 2, pdu command : create : mcc : { type bri, mode standard } }
        < { seq 6, slot 2, pdu response : error : insufficientResources }
        $ mcc
        = free: data 1 of 1 bri 0 of 1 transparent 1 of 1
        = 1024 bri {1 512 0 1 1} mcc/ctl#3, in 0, out 0
        $ fail mcc/ctl write EIO 1
        > { seq 7, slot 1, pdu command : userData : '01'H }
        < { seq 7, slot 1, pdu response : success : NULL }
        $ fail mcc/ctl MCC_RESOURCES EIO 1
        > { seq 8, pdu command : query : NULL }
        < { seq 8, pdu response : success : NULL }
    )" + no_mcc);
    EXPECT_TRUE(c.server.errHas("mcc: fail to open MCC device: No such file or directory\n"));
    EXPECT_TRUE(c.server.errHas("mcc: MCC_ALLOCATE fail: Device or resource busy\n"));
    EXPECT_TRUE(c.server.errHas("mcc: MCC_TIMESLOT fail: Input/output error\n"));
    EXPECT_TRUE(c.server.errHas("mcc: MCC_ALLOCATE fail: No space left on device\n"));
    EXPECT_TRUE(c.server.errHas("01:MCC: user data of 1 bytes not written: Input/output error\n"));
}

// A channel whose line ends, or whose driver hangs up, is polled no more:
// one line, and the loop stays idle.
TEST(MccSlots, AChannelThatEndsOrHangsUpIsPolledNoMore) {
    for (char const* ending : {"mcc end 1024", "hangup mcc/ctl"}) {
        SCOPED_TRACE(ending);
        Connected c;
        c.run(answered(
            "+ { seq 1, slot 1, pdu command : create : mcc : { type data, mode standard } }"));
        EXPECT_EQ(boardTool(c.server.root(), ending), "");
        std::string const ended = "01:MCC: channel 1024 receives no more\n";
        ASSERT_TRUE(c.server.errHas(ended));
        long const before = cpuTicks(c.server.pid());
        EXPECT_TRUE(c.controller.quietFor(300ms));
        EXPECT_LE(cpuTicks(c.server.pid()) - before, 10);
        EXPECT_EQ(occurrences(c.server.err(), ended), 1u);
        c.run(answered("+ { seq 2, slot 1, pdu command : destroy : NULL }"));
    }
}
