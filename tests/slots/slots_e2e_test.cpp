// The slot commands of the real server, with the switch as the simulated
// board shows it.

#include <signal.h>

#include <gtest/gtest.h>

#include "tests/support/slot_session.h"

using namespace support;
using namespace std::chrono_literals;

TEST(TrunkSlots, ReportTheirChannelAndGiveWayToANewSlotOnTheirTimeslot) {
    Connected c;
    c.run(R"(
        > { seq 1, slot 12, pdu command : create : trunk : { trunk 2, timeslot 5 } }
        < { seq 1, slot 12, pdu response : success : NULL }
        < { slot 12, pdu signal : transmitter : active : 69 }
        < { slot 12, pdu signal : receiver : active : 69 }
        > { seq 2, slot 13, pdu command : create : trunk : { trunk 2, timeslot 5 } }
        < { seq 2, slot 13, pdu response : success : NULL }
        < { slot 13, pdu signal : transmitter : active : 69 }
        < { slot 13, pdu signal : receiver : active : 69 }
        > { seq 3, slot 12, pdu command : destroy : NULL }
        < { seq 3, slot 12, pdu response : error : slotNotExists }
        > { seq 4, slot 14, pdu command : create : trunk_bri : { trunk 3, timeslot 2 } }
        < { seq 4, slot 14, pdu response : success : NULL }
        < { slot 14, pdu signal : transmitter : active : 14 }
        < { slot 14, pdu signal : receiver : active : 14 }
        > { seq 5, slot 15, pdu command : create : trunk : { trunk 4, timeslot 0 } }
        < { seq 5, slot 15, pdu response : error : insufficientResources }
        > { seq 6, slot 15, pdu command : create : trunk_bri : { trunk 7, timeslot 4 } }
        < { seq 6, slot 15, pdu response : error : insufficientResources }
        > { seq 7, slot 15, pdu command : create : trunk_bri : { trunk 8, timeslot 0 } }
        < { seq 7, slot 15, pdu response : error : insufficientResources }
        ~ 100
    )");
    EXPECT_TRUE(c.server.errHas("trunk-slot: two slots require the same timeslot, remove old.\n"
                                " old slot 12:trunk\n"));
}

TEST(MapSlots, ConnectThroughTheSwitchAndOwnTheirBusTimeslots) {
    Connected c;
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { seq 1, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : transmitter : active : 37 }
        < { slot 1, pdu signal : receiver : active : 37 }
        > { seq 2, slot 2, pdu command : create : map : { transmitter { bus 2, channel 5 }, receiver { bus 0, channel 3 } } }
        < { seq 2, slot 2, pdu response : success : NULL }
        < { slot 2, pdu signal : receiver : active : 8195 }
        < { slot 2, pdu signal : transmitter : active : 8453 }
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { seq 3, slot 1, pdu response : success : NULL }
        $ mux 8195
        = 8195 <- 37
        > { seq 4, slot 2, pdu command : connect : 1 }
        < { seq 4, slot 2, pdu response : success : NULL }
        $ mux 37
        = 37 <- 8453
        > { seq 5, slot 2, pdu command : disconnect : NULL }
        < { seq 5, slot 2, pdu response : success : NULL }
        $ mux 8195
        = 8195 = 0xd5
        > { seq 6, slot 3, pdu command : create : map : { transmitter { bus 0, channel 3 } } }
        < { seq 6, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : transmitter : active : 8195 }
        > { seq 7, slot 2, pdu command : destroy : NULL }
        < { seq 7, slot 2, pdu response : error : slotNotExists }
        $ mux 8195
        = 8195 off
        > { seq 8, slot 4, pdu command : create : map : { transmitter { bus 1, channel 1 }, receiver { bus 1, channel 1 } } }
        < { seq 8, slot 4, pdu response : success : NULL }
        < { slot 4, pdu signal : receiver : active : 8321 }
        < { slot 4, pdu signal : transmitter : active : 8321 }
        > { seq 9, slot 4, pdu command : connect : 4 }
        < { seq 9, slot 4, pdu response : success : NULL }
        $ mux 8321
        = 8321 <- 8321
        > { seq 10, slot 4, pdu command : destroy : NULL }
        < { seq 10, slot 4, pdu response : success : NULL }
        $ mux 8321
        = 8321 off
    )");
    EXPECT_TRUE(c.server.errHas("map-slot: two slots require the same ipc-slot, remove old.\n"
                                "new slot na:map <-> old slot 02:map\n"));
    EXPECT_TRUE(c.server.errHas("map: disable map channel 3\n"));
    EXPECT_FALSE(c.server.errHas("internal error", 0ms));
}

TEST(ExtSlots, TakeASourceOnlyWhileActivated) {
    Connected c;
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }
        < { seq 1, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : transmitter : active : 1 }
        < { slot 1, pdu signal : receiver : active : 1 }
        > { seq 2, slot 2, pdu command : create : ext : { transmitter 10, receiver 11 } }
        < { seq 2, slot 2, pdu response : success : NULL }
        < { slot 2, pdu signal : transmitter : active : 8202 }
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { seq 3, slot 1, pdu response : error : connectFail }
        > { seq 4, slot 2, pdu command : activate : empty : NULL }
        < { slot 2, pdu signal : receiver : active : 8203 }
        < { seq 4, slot 2, pdu response : success : NULL }
        $ mux 8203
        = 8203 = 0xd5
        > { seq 5, slot 1, pdu command : connect : 2 }
        < { seq 5, slot 1, pdu response : success : NULL }
        $ mux 8203
        = 8203 <- 1
        > { seq 6, slot 2, pdu command : deactivate : NULL }
        < { slot 2, pdu signal : receiver : inactive : NULL }
        < { seq 6, slot 2, pdu response : success : NULL }
        $ mux 8203
        = 8203 off
        > { seq 7, slot 3, pdu command : create : ext : { transmitter 10, receiver 2048 } }
        < { seq 7, slot 3, pdu response : error : insufficientResources }
        > { seq 8, slot 3, pdu command : create : ext : { transmitter -1, receiver 0 } }
        < { seq 8, slot 3, pdu response : error : insufficientResources }
    )");
    EXPECT_TRUE(c.server.errHas("Ext: transmitter 10 or receiver 2048 names no bus channel"));
}

TEST(EchoSlots, AreMadeOnTheBusesTheBoardHasAndReportedInTheResources) {
    Connected c("echo 2 5\nmixer remove 0\n");
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : echo : { bus 5, channel 3 } }
        < { seq 1, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : transmitter : active : 163 }
        < { slot 1, pdu signal : receiver : active : 163 }
        > { seq 2, slot 2, pdu command : create : echo : { bus 0, channel 3 } }
        < { seq 2, slot 2, pdu response : error : insufficientResources }
        > { seq 3, slot 2, pdu command : create : echo : { bus 16, channel 0 } }
        < { seq 3, slot 2, pdu response : error : insufficientResources }
        > { seq 4, slot 2, pdu command : create : echo : { bus -1, channel 0 } }
        < { seq 4, slot 2, pdu response : error : insufficientResources }
        > { seq 5, slot 2, pdu command : create : echo : { bus 2, channel 32 } }
        < { seq 5, slot 2, pdu response : error : insufficientResources }
        > { seq 6, pdu command : query : NULL }
        < { seq 6, pdu response : success : NULL }
        < { pdu signal : query : { ... echoBus { 2, 5 }, ... } }
    )");
    // SIGHUP sends the same report.
    c.server.signal(SIGHUP);
    EXPECT_TRUE(matches(nextMessage(c.controller),
                        "{ pdu signal : query : { ... echoBus { 2, 5 }, ... } }"));
}

// A connect that fails after the destination's old source was disconnected
// puts the old path back on the switch.
TEST(SlotService, RefusesEachCommandItCannotCarryOutAndLeavesTheSwitchAsItWas) {
    Connected c;
    c.run(R"(
        > { seq 2, slot 5, pdu command : disconnect : NULL }
        < { seq 2, slot 5, pdu response : error : slotNotExists }
        > { seq 4, slot 5, pdu command : create : trunk : { trunk 0, timeslot 7 } }
        < { seq 4, slot 5, pdu response : success : NULL }
        < { slot 5, pdu signal : transmitter : active : 7 }
        < { slot 5, pdu signal : receiver : active : 7 }
        > { seq 5, slot 5, pdu command : connect : 6 }
        < { seq 5, slot 5, pdu response : error : slotNotExists }
        > { seq 6, slot 6, pdu command : create : spi-tdm : { channel 3 } }
        < { seq 6, slot 6, pdu response : error : insufficientResources }
        > { seq 7, slot 5, pdu command : userData : '01'H }
        < { seq 7, slot 5, pdu response : error : unsupported }
        > { seq 9, slot 6, pdu command : create : map : { receiver { bus 3, channel 3 } } }
        < { seq 9, slot 6, pdu response : success : NULL }
        < { slot 6, pdu signal : receiver : active : 8579 }
        > { seq 10, slot 5, pdu command : connect : 6 }
        < { seq 10, slot 5, pdu response : success : NULL }
        > { seq 11, slot 7, pdu command : create : map : { transmitter { bus 3, channel 4 } } }
        < { seq 11, slot 7, pdu response : success : NULL }
        < { slot 7, pdu signal : transmitter : active : 8580 }
        $ fail hal HAL_MUX_CONNECT EIO 1
        > { seq 12, slot 7, pdu command : connect : 6 }
        < { seq 12, slot 7, pdu response : error : connectFail }
        $ mux 8579
        = 8579 <- 7
        $ fail hal HAL_MUX_WRITE EBUSY 1
        > { seq 13, slot 6, pdu command : disconnect : NULL }
        < { seq 13, slot 6, pdu response : error : disconnectFail }
        > { seq 14, slot 6, pdu command : disconnect : NULL }
        < { seq 14, slot 6, pdu response : success : NULL }
        > { seq 15, slot 5, pdu command : query : NULL }
        < { seq 15, slot 5, pdu response : error : unexpectedMsgType }
    )");
}

TEST(SlotService, DestroysEverySlotInCreationOrderWhenTheControllerGoes) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    std::string const in_creation_order =
        "map: disable map channel 513\n"
        "mux: disconnect slot 300:map [8704]\n"
        "map: disable map channel 512\n";
    // The controller closes, then a new one makes the same slots again and
    // the server is stopped.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Controller controller;
        ASSERT_TRUE(controller.connect(server.port()));
        EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : both }");
        runScript(server, controller, R"(
            > { seq 1, slot 900, pdu command : create : map : { receiver { bus 4, channel 1 } } }
            < { seq 1, slot 900, pdu response : success : NULL }
            < { slot 900, pdu signal : receiver : active : 8705 }
            > { seq 2, slot 7, pdu command : create : ext : { transmitter 1, receiver 2 } }
            < { seq 2, slot 7, pdu response : success : NULL }
            < { slot 7, pdu signal : transmitter : active : 8193 }
            > { seq 3, slot 300, pdu command : create : map : { receiver { bus 4, channel 0 } } }
            < { seq 3, slot 300, pdu response : success : NULL }
            < { slot 300, pdu signal : receiver : active : 8704 }
            > { seq 4, slot 7, pdu command : connect : 300 }
            < { seq 4, slot 7, pdu response : success : NULL }
        )");
        if (round == 0) {
            controller.close();
            EXPECT_TRUE(server.errHas("control connection"));
            EXPECT_TRUE(server.errHas(in_creation_order));
            EXPECT_TRUE(waitFor(
                [&] { return boardTool(server.root(), "mux") == "bus outputs off: 2048 of 2048\n"; },
                5s));
        } else {
            server.signal(SIGTERM);
            EXPECT_EQ(server.wait(), 0);
            std::string const err = server.err();
            EXPECT_NE(err.find(in_creation_order, err.find(in_creation_order) + 1),
                      std::string::npos);
        }
    }
}

// Signals that come during the pause after the controller leaves do not cut
// it short: the next controller is served a second later at the earliest.
TEST(SlotService, ThePauseAfterTheControllerLeavesLastsItsSecondThroughSignals) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller first;
    ASSERT_TRUE(first.connect(server.port()));
    EXPECT_EQ(nextMessage(first), "{ pdu signal : power : both }");
    first.close();
    auto const left = std::chrono::steady_clock::now();
    ASSERT_TRUE(server.errHas("control connection"));
    Controller next;
    // SIGCHLD every 20 ms, as children ending would send it, until the next
    // controller is greeted.
    bool const greeted = waitFor(
        [&] {
            server.signal(SIGCHLD);
            if (next.fd() < 0 && !next.connect(server.port(), 10ms)) return false;
            return nextMessage(next, 10ms) == "{ pdu signal : power : both }";
        },
        5s);
    ASSERT_TRUE(greeted);
    EXPECT_GE(std::chrono::steady_clock::now() - left, 990ms);
}
