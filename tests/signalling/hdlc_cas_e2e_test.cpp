// HDLC slots and the CAS form of the PSTN slots of the real server, with the
// line driven through the board tool.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/process.h"
#include "tests/support/signalling_session.h"

using namespace support;
using namespace std::chrono_literals;

TEST(HdlcSlots, CarryFramesBothWaysInBatchesAndCountThem) {
    SignallingSession s("", std::string(fast_links) + "[traces]\nsignalling.hdlc = true\n");
    s.run(command(1, 1, "create : hdlcParams : { trunk 5, log 1, address -1 }") +
          command(2, 2, "create : hdlcParams : { trunk 37, log 0, address 48 }") +
          activate(3, 1) + activate(4, 2) + R"(
        $ mcc send 1024 01 02 , 03 , 04 05 06
        < { slot 1, pdu signal : ioctl : hdlcPackages : { { body '01 02'H }, { body '03'H }, { body '04 05 06'H } } }
        $ mcc send 1025 30 01 , 31 02 , 30 03
        < { slot 2, pdu signal : ioctl : hdlcPackages : { { body '30 01'H }, { body '30 03'H } } }
        > { seq 5, slot 1, pdu command : ioctl : hdlcPackages : { { body 'AA'H }, { body 'BBCC'H }, { body ''H } } }
        < { seq 5, slot 1, pdu response : error : unsupported }
        > { seq 6, slot 1, pdu command : ioctl : hdlcPackages : { } }
        < { seq 6, slot 1, pdu response : error : unsupported }
        $ mcc written 1024
        = AA BB CC
    )");
    // One frame per package, in list order; an empty one is not sent.
    EXPECT_EQ(boardLog(s.server.root(), "mcc/ctl write"), "mcc/ctl write 1\nmcc/ctl write 2\n");
    for (std::string const info :
         {"{ slot 1, pdu signal : ioctl : hdlcLinkInfo : { txSU 2, txDiscard 1, txError 0, "
          "txOverflow 0, rxSU 3 } }",
          "{ slot 2, pdu signal : ioctl : hdlcLinkInfo : { txSU 0, txDiscard 0, txError 0, "
          "txOverflow 0, rxSU 3 } }"})
        EXPECT_TRUE(s.hasReport("hdlcLinkInfo", info[7] - '0', info));

    // More frames than a signal carries come in several, in order.
    std::string burst = "mcc send 1024 00";
    for (int i = 1; i < 20; ++i) burst += " , " + std::string(i < 16 ? "0" : "1") + "0123456789ABCDEF"[i % 16];
    EXPECT_EQ(s.board(burst), "");
    std::string const first = s.next(), second = s.next();
    EXPECT_NE(first.find("{ body '00'H }, { body '01'H }"), std::string::npos) << first;
    EXPECT_NE(first.find("{ body '0f'H } } }"), std::string::npos) << first;
    EXPECT_EQ(second, "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body '10'H }, "
                      "{ body '11'H }, { body '12'H }, { body '13'H } } }");

    // The trunk of slot 2 in alarm; deactivation; destruction frees the channels.
    EXPECT_EQ(s.board("e1 1 state ais"), "");
    EXPECT_EQ(s.next(), "{ slot 2, pdu signal : deactivated : networkError }");
    s.run(R"(
        $ fail mcc/ctl write EIO 1
        > { seq 11, slot 1, pdu command : ioctl : hdlcPackages : { { body 'AA'H } } }
        < { seq 11, slot 1, pdu response : error : unsupported }
        > { seq 7, slot 1, pdu command : deactivate : NULL }
        < { seq 7, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : deactivated : networkError }
        > { seq 8, slot 1, pdu command : ioctl : hdlcPackages : { { body 'AA'H } } }
        < { seq 8, slot 1, pdu response : error : unsupported }
    )" + command(9, 1, "destroy : NULL") + command(10, 2, "destroy : NULL") + R"(
        $ mcc
        = free: data 32 of 32 bri 16 of 16 transparent 32 of 32
    )");
    EXPECT_TRUE(s.server.errHas("\nHdlcSlotFactory.INewSlot\n\n"));
    EXPECT_TRUE(s.server.errHas("01:hdlc-slot: timeslot 5 of trunk 0, channel 1024\n"));
    EXPECT_TRUE(s.server.errHas("01:hdlc-slot: from line 01 02 \n"));
    EXPECT_TRUE(s.server.errHas("02:hdlc-slot: frame for another address dropped, 1 in all\n"));
    EXPECT_TRUE(s.server.errHas("hdlc [0/5]: tx BB CC \n"));
    EXPECT_TRUE(s.server.errHas("hdlc [0/5]: frame of 1 octets not sent: Input/output error (the frames that fail after it are counted only)\n"));
}

TEST(CasSlots, TakeTheirTimeslotIntoCasAndSetItsBits) {
    SignallingSession s;
    s.run(command(1, 1, "create : pstn : cas : { trunk 37 }") +
          command(2, 2, "create : pstn : cas : { trunk 16 }", "error : insufficientResources") +
          command(3, 1, "userData : '05'H", "error : unsupported") + R"(
        > { seq 4, slot 1, pdu command : activate : empty : NULL }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 0 }, rx 0, tx 0 } }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 5 }, rx ..., tx 9 } }
        < { seq 4, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : activated : NULL }
        > { seq 5, slot 1, pdu command : userData : 'F3'H }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 0 }, rx 0, tx 0 } }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 5 }, rx ..., tx 3 } }
        < { seq 5, slot 1, pdu response : success : NULL }
    )" + command(6, 1, "userData : '0102'H", "error : unsupported") + R"(
        > { seq 7, slot 1, pdu command : deactivate : NULL }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 5 }, rx -1, tx 1 } }
        < { seq 7, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : deactivated : networkError }
    )");
    EXPECT_EQ(boardLog(s.server.root(), "e1-cas CAS_CONFIGURE"),
              "e1-cas CAS_CONFIGURE 1 5 589824 0\ne1-cas CAS_CONFIGURE 1 5 196608 0\n"
              "e1-cas CAS_CONFIGURE 1 5 0 1\n");
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 1 octets refused: CAS is not active\n"));
    EXPECT_TRUE(s.server.errHas("PSTN: timeslot 16 carries the CAS multiframe\n"));
}

// The channel of an HDLC slot or an ISDN slot whose line ends, or whose
// driver hangs up, is polled no more: one line, and the loop stays idle.
TEST(HdlcSlots, AndIsdnSlotsStopPollingAChannelThatEndsOrHangsUp) {
    struct Case {
        char const* create;
        char const* ended;
    };
    Case const cases[] = {
        {"create : hdlcParams : { trunk 5, log 0, address -1 }",
         "hdlc [0/5]: channel 1024 receives no more\n"},
        {"create : isdn : { type pri, trunk 0, log 0, side user : NULL }",
         "01:MCC: channel 1024 receives no more\n"},
    };
    for (Case const& c : cases) {
        for (char const* ending : {"mcc end 1024", "hangup mcc/ctl"}) {
            SCOPED_TRACE(std::string(c.create) + ", " + ending);
            SignallingSession s;
            s.run(command(1, 1, c.create) + activate(2, 1));
            EXPECT_EQ(s.board(ending), "");
            ASSERT_TRUE(s.server.errHas(c.ended)) << s.server.err();
            long const before = cpuTicks(s.server.pid());
            s.controller.quietFor(300ms);
            EXPECT_LE(cpuTicks(s.server.pid()) - before, 10);
            EXPECT_EQ(occurrences(s.server.err(), c.ended), 1u);
        }
    }
}

namespace {

// A package of n octets of 0x5A in value notation.
std::string package(size_t n) {
    std::string hex;
    for (size_t i = 0; i < n; ++i) hex += "5a";
    return "{ body '" + hex + "'H }";
}

}  // namespace

TEST(HdlcSlots, SendOnlyThePackagesTheChannelCarriesAndNothingOnceTheirTrunkTookThemDown) {
    SignallingSession s;
    s.run(command(1, 1, "create : hdlcParams : { trunk 5, log 0, address -1 }") + activate(2, 1));
    // 1 to 512 octets are frames; 0, 513 and 4000 are not.
    s.send("{ seq 3, slot 1, pdu command : ioctl : hdlcPackages : { " + package(0) + ", " +
           package(512) + ", " + package(513) + ", " + package(4000) + ", " + package(1) + " } }");
    EXPECT_EQ(s.next(), "{ seq 3, slot 1, pdu response : error : unsupported }");
    EXPECT_EQ(boardLog(s.server.root(), "mcc/ctl write"), "mcc/ctl write 512\nmcc/ctl write 1\n");
    EXPECT_TRUE(s.server.errHas("01:hdlc-slot: 3 of 5 hdlcPackages not sent: a frame carries 1 "
                                "to 512 octets, not 0 (package 1)\n"));
    EXPECT_TRUE(s.hasReport("hdlcLinkInfo", 1,
                            "{ slot 1, pdu signal : ioctl : hdlcLinkInfo : { txSU 2, txDiscard 3, "
                            "txError 0, txOverflow 0, rxSU 0 } }"));

    // The trunk's alarm takes the slot down and its channel off the line:
    // nothing more comes from the line or goes to it.
    s.run(R"(
        $ mcc send 1024 01
        < { slot 1, pdu signal : ioctl : hdlcPackages : { { body '01'H } } }
        $ e1 0 state ais
        < { slot 1, pdu signal : deactivated : networkError }
        $ mcc send 1024 02
        = error: no MCC channel 1024
        > { seq 4, slot 1, pdu command : ioctl : hdlcPackages : { { body 'AA'H } } }
        < { seq 4, slot 1, pdu response : error : unsupported }
        $ mcc
        = free: data 32 of 32 bri 16 of 16 transparent 32 of 32
    )");
    EXPECT_EQ(occurrences(boardLog(s.server.root(), "mcc/ctl write"), "write"), 2u);
    EXPECT_TRUE(s.server.errHas("01:hdlc-slot: 1 hdlcPackages not sent: the slot is not activated\n"));
    EXPECT_EQ(s.next(std::chrono::milliseconds(300)), "");

    // Activated again, it carries both ways.
    s.run("$ e1 0 state normal\n" + activate(5, 1) + R"(
        $ mcc send 1024 03
        < { slot 1, pdu signal : ioctl : hdlcPackages : { { body '03'H } } }
        > { seq 6, slot 1, pdu command : ioctl : hdlcPackages : { { body 'BB'H } } }
        < { seq 6, slot 1, pdu response : error : unsupported }
        $ mcc written 1024
        = BB
    )");
}

TEST(CasSlots, GiveTheirTimeslotBackAndRefuseBitsOnceTheirTrunkTookThemDown) {
    SignallingSession s;
    s.run(command(1, 1, "create : pstn : cas : { trunk 37 }") + R"(
        > { seq 2, slot 1, pdu command : activate : empty : NULL }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 0 }, rx 0, tx 0 } }
        < { slot 1, pdu signal : cas : { channel { path 1, timeslot 5 }, rx ..., tx 9 } }
        < { seq 2, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : activated : NULL }
        $ e1 1 state lossCarrier
        < ...pdu signal : cas : { channel { path 1, timeslot 5 }, rx -1, tx 1 } }
        < { slot 1, pdu signal : deactivated : networkError }
    )" + command(3, 1, "userData : 'F3'H", "error : unsupported"));
    // Opened, then given back; the bits the controller asked for never sent.
    EXPECT_EQ(boardLog(s.server.root(), "e1-cas CAS_CONFIGURE"),
              "e1-cas CAS_CONFIGURE 1 5 589824 0\ne1-cas CAS_CONFIGURE 1 5 0 1\n");
    EXPECT_TRUE(s.server.errHas("01:pstn: userData of 1 octets refused: CAS is not active\n"));
}

// An SS7 or HDLC slot has a channel to connect only once activated.
TEST(HdlcSlots, AndSs7SlotsConnectedBeforeActivationSaySoInsteadOfBlamingTheSwitch) {
    SignallingSession s;
    s.run(command(1, 1, "create : hdlcParams : { trunk 5, log 0, address -1 }") +
          command(2, 2, "create : pstn : ss7 : { trunk 16, slc 1, dpc 1, opc 2, emergency FALSE }") +
          R"(
        > { seq 3, slot 3, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { seq 3, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : transmitter : active : 37 }
        < { slot 3, pdu signal : receiver : active : 37 }
        > { seq 4, slot 1, pdu command : connect : 3 }
        < { slot 1, pdu signal : transmitter : active : -1 }
        < { seq 4, slot 1, pdu response : error : connectFail }
        > { seq 5, slot 3, pdu command : connect : 2 }
        < { slot 2, pdu signal : receiver : active : -1 }
        < { seq 5, slot 3, pdu response : error : connectFail }
    )" + activate(6, 1) + R"(
        > { seq 7, slot 1, pdu command : connect : 3 }
        < { seq 7, slot 1, pdu response : success : NULL }
        $ mux 37
        = 37 <- 1024
    )");
    EXPECT_TRUE(s.server.errHas("01:hdlc-slot: not connected with 03:trunk: the slot has no "
                                "channel until it is activated\n"));
    EXPECT_TRUE(s.server.errHas("02:pstn: not connected with 03:trunk: the slot has no channel "
                                "until it is activated\n"));
    EXPECT_EQ(occurrences(s.server.err(), "hwMux: ERROR not opened"), 0u);
}
