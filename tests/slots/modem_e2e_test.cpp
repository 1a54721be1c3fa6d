// Modem slots of the real server: DSP modems on the simulated board's
// /dev/mctl, digital modems on its HDLC interfaces, and the stand-in
// programs they start.

#include <gtest/gtest.h>

#include "tests/support/modem_harness.h"
#include "tests/support/harness.h"
#include "tests/support/script.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

using Args = std::vector<std::string>;

// Trunk slot 1 on channel 1, for the modems to connect to.
char const trunk[] = R"(
    > { seq 1, slot 1, pdu command : create : trunk : { trunk 0, timeslot 1 } }
    < { seq 1, slot 1, pdu response : success : NULL }
    < { slot 1, pdu signal : transmitter : active : 1 }
    < { slot 1, pdu signal : receiver : active : 1 }
)";

}  // namespace

TEST(DspModemSlots, AnswerOrOriginateOnTheirModemAndRunTheDaemonOnItsDataDevice) {
    ModemServer s("netif none\n");
    s.run(std::string(trunk) + R"(
        > { seq 2, slot 2, pdu command : create : modem : { cid "5551234", cdid "100", ddm { ddmV120 }, dmp { { offset 5, value 7 }, { offset 9, value -1 } } } }
        < { seq 2, slot 2, pdu response : success : NULL }
        $ log clear
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { slot 2, pdu signal : transmitter : active : 512 }
        < { slot 2, pdu signal : receiver : active : 512 }
        < { seq 3, slot 1, pdu response : success : NULL }
        > { seq 4, slot 2, pdu command : connect : 1 }
        < { seq 4, slot 2, pdu response : success : NULL }
    )");
    EXPECT_EQ(s.board("log mctl"),
              "mctl#N open\n"
              "mctl#N MDM_ALLOCATE 0\n"
              "mctl#N MDM_GET_TIMESLOT 0\n"
              "mctl#N MDM_SET_DDM 0 0\n"
              "mctl#N MDM_RESET_PARAMS 0 4294967295\n"
              "mctl#N MDM_SET_PARAM 0 5 7\n"
              "mctl#N MDM_SET_PARAM 0 9 4294967295\n"
              "mctl#N MDM_ANSWER 0 4294967295\n");
    EXPECT_EQ(s.args(0), (Args{s.standins.path(pppd_program), "file",
                               s.standins.path("/usr/local/etc/ppp/aoptions"),
                               s.standins.path("/dev/mdm0"), "remotenumber", "5551234"}));
    EXPECT_EQ(s.standins.runs().size(), 1u) << "a second connection starts nothing";
    EXPECT_TRUE(s.server.errHas("pppd executed cid=\"5551234\" pid="));

    // The destroy waits for the daemon, which ends on SIGHUP; the modem goes
    // back to the board with its descriptor.
    s.run(R"(
        > { seq 5, slot 2, pdu command : destroy : NULL }
        < { seq 5, slot 2, pdu response : success : NULL }
    )");
    EXPECT_TRUE(s.standins.logHas(s.standins.runs()[0].pid, "hup\n"));
    EXPECT_TRUE(s.server.errHas("02:dsp-modem: sent HUP to pppd.\n"));
    EXPECT_TRUE(waitFor([&] { return s.board("modem").find("mctl") == std::string::npos; }, 5s));
    EXPECT_EQ(s.board("mux 1"), "1 = 0xd5\n");

    // Originate: the originate options, and no caller number.
    s.run(R"(
        > { seq 6, slot 7, pdu command : create : modem : { cid "", cdid "", originate NULL } }
        < { seq 6, slot 7, pdu response : success : NULL }
        > { seq 7, slot 7, pdu command : connect : 1 }
        < { slot 7, pdu signal : transmitter : active : 512 }
        < { slot 7, pdu signal : receiver : active : 512 }
        < { seq 7, slot 7, pdu response : success : NULL }
        $ mux 1
        = 1 <- 512
    )");
    EXPECT_EQ(s.args(1), (Args{s.standins.path(pppd_program), "file",
                               s.standins.path("/usr/local/etc/ppp/coptions"),
                               s.standins.path("/dev/mdm0")}));
    EXPECT_EQ(s.board("log mctl MDM_ORIGINATE"), "mctl#N MDM_ORIGINATE 0 4294967295\n");
}

// A failed set-up aborts with the errno and runs again on the next
// connection; a child's end while the slot lives is an abort with the raw
// wait status, 512 for a program that cannot be executed.
TEST(DspModemSlots, AbortWithTheErrnoOfAFailedSetUpOrTheRawWaitStatusOfTheirChild) {
    ModemServer s("netif none\n");
    s.standins.tell(pppd_program, "exit 3\n");
    s.run(std::string(trunk) + R"(
        > { seq 2, slot 2, pdu command : create : modem : { cid "1", cdid "2", ddm { ddmV110, ddm7BIT } } }
        < { seq 2, slot 2, pdu response : success : NULL }
        $ fail mctl MDM_ALLOCATE EBUSY 1
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { slot 2, pdu signal : abort : 16 }
        < { slot 2, pdu signal : receiver : active : -1 }
        < { seq 3, slot 1, pdu response : error : connectFail }
        > { seq 4, slot 1, pdu command : connect : 2 }
        < { slot 2, pdu signal : transmitter : active : 512 }
        < { seq 4, slot 1, pdu response : success : NULL }
        < { slot 2, pdu signal : abort : 768 }
        > { seq 5, slot 3, pdu command : create : modem : { cid "1", cdid "2" } }
        < { seq 5, slot 3, pdu response : success : NULL }
        $ fail mctl MDM_ANSWER EIO 1
        > { seq 6, slot 3, pdu command : connect : 1 }
        < { slot 3, pdu signal : transmitter : active : 513 }
        < { slot 3, pdu signal : receiver : active : 513 }
        < { slot 3, pdu signal : abort : 5 }
        < { seq 6, slot 3, pdu response : success : NULL }
        > { seq 7, slot 4, pdu command : create : modem : { cid "1", cdid "2", execfile "/opt/no-such-dialer", execargs { "-x", "y z" } } }
        < { seq 7, slot 4, pdu response : success : NULL }
        > { seq 8, slot 4, pdu command : connect : 1 }
        < { slot 4, pdu signal : transmitter : active : 514 }
        < { slot 4, pdu signal : receiver : active : 514 }
        < { seq 8, slot 4, pdu response : success : NULL }
        < { slot 4, pdu signal : abort : 512 }
        > { seq 9, slot 2, pdu command : destroy : NULL }
        < { seq 9, slot 2, pdu response : success : NULL }
    )");
    // The child that could not run its program left without running the
    // server's exit handlers: the board's control socket is still there.
    EXPECT_EQ(s.board("log mctl MDM_SET_DDM"), "mctl#N MDM_SET_DDM 0 5\n");
    EXPECT_TRUE(
        s.server.errHas("02:dsp-modem: insufficient resources : Device or resource busy\n"));
    EXPECT_TRUE(s.server.errHas("03:dsp-modem: answer failed : Input/output error\n"));
    EXPECT_EQ(s.standins.runs().size(), 1u) << "a failed answer starts no daemon";
    s.run(R"(
        $ absent mctl
        = /dev/mctl absent
        > { seq 10, pdu command : query : NULL }
        < { seq 10, pdu response : success : NULL }
        < { pdu signal : query : { ... modem 0, ... digital-modems 0, ... } }
    )");
    EXPECT_TRUE(s.server.errHas("]: fail to open \"/dev/mctl\" : No such file or directory\n"));
}

TEST(FaxPrograms, RunAsTheModemParametersSay) {
    ModemServer s;
    s.standins.tell(fax_transfer_program, "exit 3\n");
    // Arguments beyond what the vector holds are cut with a line.
    std::string many;
    for (int i = 0; i < 62; ++i) many += ", \"" + std::to_string(i) + "\"";
    s.run(std::string(trunk) + R"(
        > { seq 2, slot 2, pdu command : create : modem : { cid "", cdid "", fax NULL, execargs { "send")" +
          many + R"( } } }
        < { seq 2, slot 2, pdu response : success : NULL }
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { slot 2, pdu signal : transmitter : active : 512 }
        < { slot 2, pdu signal : receiver : active : 512 }
        < { seq 3, slot 1, pdu response : success : NULL }
        < { slot 2, pdu signal : modemProceeding : acct : { octetsOut { low 0, high 0 }, octetsIn { low 3, high 0 }, packetsOut { low 0, high 0 }, packetsIn { low 0, high 0 }, time { low 0, high 0 } } }
        < { slot 2, pdu signal : abort : 768 }
        > { seq 4, slot 3, pdu command : create : modem : { cid "", cdid "", fax NULL } }
        < { seq 4, slot 3, pdu response : success : NULL }
        > { seq 5, slot 1, pdu command : connect : 3 }
        < { slot 3, pdu signal : transmitter : active : 512 }
        < { slot 3, pdu signal : receiver : active : 512 }
        < { seq 5, slot 1, pdu response : success : NULL }
        > { seq 6, slot 4, pdu command : create : modem : { cid "", cdid "", originate NULL, fax NULL } }
        < { seq 6, slot 4, pdu response : success : NULL }
        > { seq 7, slot 4, pdu command : connect : 1 }
        < { slot 4, pdu signal : transmitter : active : 512 }
        < { slot 4, pdu signal : receiver : active : 512 }
        < { seq 7, slot 4, pdu response : success : NULL }
        > { seq 8, slot 3, pdu command : destroy : NULL }
        < { seq 8, slot 3, pdu response : success : NULL }
    )");
    EXPECT_EQ(s.board("log mctl MDM_ORIGINATE_FAX"), "mctl#N MDM_ORIGINATE_FAX 0 4294967295\n");
    // The fax programs give the modem back: it is theirs to open.
    Args const transfer = s.args(0);
    ASSERT_EQ(transfer.size(), 63u);
    EXPECT_EQ(Args(transfer.begin(), transfer.begin() + 5),
              (Args{s.standins.path(fax_transfer_program), "-m", "0", "send", "0"}));
    EXPECT_EQ(transfer.back(), "58");
    EXPECT_TRUE(
        s.server.errHas("02:dsp-modem: fax transfer: 3 arguments beyond the first 60 dropped\n"));
    EXPECT_TRUE(s.server.outHas("executing fax transfer\n"));
    EXPECT_TRUE(s.server.errHas("02:dsp-modem: pages received: 3\n"));
    // The receiver starts a second later, and nothing waits for it.
    Args const receiver = s.args(1);
    ASSERT_EQ(receiver.size(), 5u);
    EXPECT_EQ(Args(receiver.begin(), receiver.begin() + 4),
              (Args{s.standins.path(fax_receiver_program), "-m", "0", "receive"}));
    EXPECT_EQ(receiver[4].rfind(s.standins.path("/var/fax-"), 0), 0u) << receiver[4];
    EXPECT_EQ(receiver[4].size(), s.standins.path("/var/fax-00-00-00.g3").size());
    EXPECT_TRUE(s.server.outHas("executing\n"));
}

TEST(DigitalModemSlots, RunTheDaemonOnAFreeInterfaceAndGiveItBack) {
    ModemServer s("modem count 2\nnetif hdlc1 601 0x0\n");
    s.run(std::string(trunk) + R"(
        > { seq 2, pdu command : query : NULL }
        < { seq 2, pdu response : success : NULL }
        < { pdu signal : query : { ... modem 2, ... digital-modems 3, ... } }
        > { seq 3, slot 2, pdu command : create : modem : { cid "77", cdid "", ddm { ddm8BIT } } }
        < { seq 3, slot 2, pdu response : success : NULL }
        > { seq 4, slot 1, pdu command : connect : 2 }
        < { slot 2, pdu signal : receiver : active : 600 }
        < { seq 4, slot 1, pdu response : success : NULL }
        $ netif
        = hdlc0 index 10 flags 0x90 channel 600 ppp down
        = hdlc1 index 11 flags 0x0 channel 601 hdlc down
        = hdlc2 index 12 flags 0x90 channel 602 hdlc down
        = hdlc3 index 13 flags 0x90 channel 603 hdlc down
        > { seq 6, slot 3, pdu command : create : modem : { cid "", cdid "", ddm { ddmV120 } } }
        < { seq 6, slot 3, pdu response : success : NULL }
        $ netif hdlc2 up
        > { seq 7, slot 1, pdu command : connect : 3 }
        < { slot 3, pdu signal : receiver : active : 602 }
        < { seq 7, slot 1, pdu response : success : NULL }
        > { seq 8, slot 2, pdu command : destroy : NULL }
        < { seq 8, slot 2, pdu response : success : NULL }
        > { seq 9, slot 3, pdu command : destroy : NULL }
        < { seq 9, slot 3, pdu response : success : NULL }
        $ netif
        = hdlc0 index 10 flags 0x90 channel 600 hdlc down
        = hdlc1 index 11 flags 0x0 channel 601 hdlc down
        = hdlc2 index 12 flags 0x90 channel 602 hdlc down
        = hdlc3 index 13 flags 0x90 channel 603 hdlc down
        > { seq 10, slot 4, pdu command : create : modem : { cid "", cdid "", ddm { ddmV110 } } }
        < { seq 10, slot 4, pdu response : success : NULL }
        > { seq 11, slot 1, pdu command : connect : 4 }
        < { slot 4, pdu signal : receiver : active : 603 }
        < { seq 11, slot 1, pdu response : success : NULL }
    )");
    EXPECT_EQ(s.args(0), (Args{s.standins.path(pppd_program), "file",
                               s.standins.path("/usr/local/etc/ppp/ioptions"), "hdlc0",
                               "remotenumber", "77"}));
    EXPECT_TRUE(s.server.errHas("03:digital-modem: SIOCWANDEV/IF_PROTO_PPP fail!\n"));
    // hdlc0 went back to the end of the free list: the next one is hdlc3.
    EXPECT_EQ(s.args(1).at(3), "hdlc3");
}

// A modem whose daemon takes its time to end after the hang-up is connected
// again while its destroy waits; when it goes, it leaves the switch and its
// peer first, so the peer's destroy or the controller's leaving finds no
// trace of it.
TEST(ModemSlots, ASlotConnectedAgainWhileItsDestroyWaitsLetsGoOfItsPeerWhenItGoes) {
    for (bool const controller_leaves : {false, true}) {
        SCOPED_TRACE(controller_leaves ? "the controller leaves" : "the peer is destroyed");
        ModemServer s;
        s.standins.tell(pppd_program, "hup-exit 300\n");
        s.run(modem_on_trunk);
        ASSERT_TRUE(s.standins.waitRuns(1));
        ASSERT_TRUE(s.standins.logHas(s.standins.runs()[0].pid, "actions done\n"));
        s.run(answered(R"(
            > { seq 4, slot 2, pdu command : destroy : NULL }
            ~ 50
            $ mux 512
            = 512 = 0xd5
            + { seq 5, slot 1, pdu command : connect : 2 }
            $ mux 512
            = 512 <- 1
            < { seq 4, slot 2, pdu response : success : NULL }
            $ mux 512
            = 512 = 0xd5
        )"));
        if (controller_leaves) {
            s.controller.close();
            ASSERT_TRUE(s.server.errHas("control connection"));
            Controller next;
            ASSERT_TRUE(next.connect(s.server.port()));
            EXPECT_EQ(nextMessage(next), "{ pdu signal : power : both }");
            EXPECT_TRUE(next.pingAnswered(9));
        } else {
            s.run(answered(R"(
                + { seq 6, slot 1, pdu command : destroy : NULL }
                > { seq 7, slot 2, pdu command : connect : 1 }
                < { seq 7, slot 2, pdu response : error : slotNotExists }
            )"));
            EXPECT_TRUE(s.controller.pingAnswered(9));
        }
        EXPECT_EQ(s.board("mux 512"), "512 = 0xd5\n");
    }
}
