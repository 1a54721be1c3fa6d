// Modem slots whose daemon outlives the destroy or the controller: the
// 5000 ms kill and the slots set aside when the controller goes. Labelled
// slow; they also hold the PPP helper port.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/script.h"
#include "tests/support/modem_harness.h"
#include "slots/modem_factory.h"
#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "tests/support/private_network.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

bool gone(pid_t pid) {
    return waitFor([&] { return ::kill(pid, 0) != 0; }, 3s);
}

}  // namespace

// Until the daemon is gone the number is busy: a create or destroy on a slot
// whose destroy has not finished is destroyInProgress, and a create on a slot
// that cannot go at once is slotIdBusy (and sets its destroy going).
TEST(ModemSlowEnds, ADaemonThatIgnoresHangUpIsKilledAfter5000msAndTheDestroyAnswered) {
    ModemServer s;
    s.standins.tell(pppd_program, "ignore-hup\n");
    s.run(modem_on_trunk);
    ASSERT_TRUE(s.standins.waitRuns(1));
    pid_t const daemon = s.standins.runs()[0].pid;

    auto const asked = std::chrono::steady_clock::now();
    s.run(R"(
        > { seq 4, slot 2, pdu command : destroy : NULL }
        > { seq 5, slot 2, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 5, slot 2, pdu response : error : destroyInProgress }
        > { seq 6, slot 2, pdu command : destroy : NULL }
        < { seq 6, slot 2, pdu response : error : destroyInProgress }
        > { seq 7, slot 3, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 7, slot 3, pdu response : success : NULL }
        > { seq 8, slot 1, pdu command : connect : 3 }
        < { slot 3, pdu signal : transmitter : active : 513 }
        < { slot 3, pdu signal : receiver : active : 513 }
        < { seq 8, slot 1, pdu response : success : NULL }
    )");
    ASSERT_TRUE(s.standins.waitRuns(2));
    s.run(R"(
        > { seq 9, slot 3, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 9, slot 3, pdu response : error : slotIdBusy }
        > { seq 10, slot 3, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 10, slot 3, pdu response : error : destroyInProgress }
    )");
    EXPECT_TRUE(s.standins.logHas(daemon, "hup ignored\n"));
    EXPECT_EQ(nextMessage(s.controller, 7s), "{ seq 4, slot 2, pdu response : success : NULL }");
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 4900ms);
    EXPECT_TRUE(gone(daemon));
    EXPECT_TRUE(s.server.errHas("02:dsp-modem: pppd terminate timeout!\n"
                                "02:dsp-modem: pppd isn't terminated, killing ...\n"));
    EXPECT_TRUE(gone(s.standins.runs()[1].pid));
    // Each daemon is killed once, also when its slot is deleted after.
    EXPECT_TRUE(s.controller.pingAnswered(20));
    EXPECT_EQ(occurrences(s.server.err(), "02:dsp-modem: pppd isn't terminated, killing ...\n"), 1u);
    EXPECT_EQ(occurrences(s.server.err(), "03:dsp-modem: pppd isn't terminated, killing ...\n"), 1u);
    s.run(R"(
        > { seq 11, slot 2, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 11, slot 2, pdu response : success : NULL }
        > { seq 12, slot 3, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 12, slot 3, pdu response : success : NULL }
    )");
}

TEST(ModemSlowEnds, WhenTheControllerGoesRunningModemsAreSetAsideAndTheirSessionsEnd) {
    ModemServer s("", true);
    s.standins.tell(pppd_program, "ignore-hup\n");
    s.run(std::string(modem_on_trunk) + R"(
        > { seq 4, slot 3, pdu command : create : modem : { cid "", cdid "", ddm { ddm8BIT } } }
        < { seq 4, slot 3, pdu response : success : NULL }
        > { seq 5, slot 1, pdu command : connect : 3 }
        < { slot 3, pdu signal : receiver : active : 600 }
        < { seq 5, slot 1, pdu response : success : NULL }
    )");
    ASSERT_TRUE(s.standins.waitRuns(2));
    HelperConnection helper;
    ASSERT_TRUE(helper.connect());
    helper.send(authFrame(0, "user", "pw"));
    EXPECT_EQ(nextMessage(s.controller),
              "{ slot 2, pdu signal : modemProceeding : auth : { username \"user\", password "
              "\"pw\" } }");

    s.controller.close();
    // Neither daemon ends on SIGHUP: both slots are set aside, and deleted
    // with their daemons killed after the pause.
    for (StandinRun const& run : s.standins.runs()) EXPECT_TRUE(gone(run.pid)) << run.pid;
    EXPECT_TRUE(s.server.errHas("02:dsp-modem: pppd isn't terminated, killing ...\n"));
    EXPECT_TRUE(s.server.errHas("03:digital-modem: pppd isn't terminated, killing ...\n"));
    EXPECT_TRUE(waitFor([&] { return s.board("modem").find("mctl") == std::string::npos; }, 3s));
    EXPECT_NE(s.board("netif").find("hdlc0 index 10 flags 0x90 channel 600 hdlc down"),
              std::string::npos);

    // A frame of the old session finds no slot; the server serves on.
    helper.send(authFrame(0, "user", "pw"));
    EXPECT_TRUE(s.server.errHas("receive auth request for unknown session 0\n"));
    Controller next;
    ASSERT_TRUE(next.connect(s.server.port()));
    EXPECT_EQ(nextMessage(next), "{ pdu signal : power : both }");
    runScript(s.server, next, R"(
        > { seq 1, slot 2, pdu command : create : modem : { cid "", cdid "" } }
        < { seq 1, slot 2, pdu response : success : NULL }
    )");
}

// The failure is said once, however often it is tried again, and so is the
// recovery.
TEST(ModemSlowEnds, AHelperListenerThatCannotBindIsTriedAgain) {
    ASSERT_EQ(claimLoopbackPort(52000, 30s), "");
    // The port is taken when the server starts, and through two retries.
    int const taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(52000);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool const held = waitFor(
        [&] { return ::bind(taken, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0; }, 30s);
    ServerProcess server;
    Standins standins(server.root());
    bool const started = server.start();
    ASSERT_TRUE(held);
    ASSERT_TRUE(started);
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * ModemFactory::listen_retry_ms + 500));
    ::close(taken);
    char const failed[] = "modem[4,0]: fail to bind auth socket: Address already in use\n";
    EXPECT_EQ(occurrences(server.err(), failed), 1u);
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : both }");
    runScript(server, controller, modem_on_trunk);

    // Within the retry period the server listens and the helper gets through
    // (another server may take the port meanwhile; then ours tries again).
    HelperConnection helper;
    bool const through = waitFor(
        [&] {
            if (!helper.connect(100ms)) return false;
            helper.send(authFrame(0, "user", "pw"));
            return server.errHas("incoming auth connection from", 200ms);
        },
        30s);
    ASSERT_TRUE(through) << server.err();
    EXPECT_EQ(occurrences(server.err(), failed), 1u);
    EXPECT_EQ(occurrences(server.err(), "]: auth socket listens again\n"), 1u);
    EXPECT_EQ(nextMessage(controller),
              "{ slot 2, pdu signal : modemProceeding : auth : { username \"user\", password "
              "\"pw\" } }");
}
