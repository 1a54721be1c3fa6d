// The server program as the controller and the operator see it: options,
// signals, the pid file, the control port, dispatch and TPKT framing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/support/harness.h"
#include "tests/support/log_socket.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string const usage =
    "Usage:\n"
    " mobrel -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n"
    "\n";

LGCP::ErrorCause::NamedNumber errorOf(LGCP::Message const& m) {
    return LGCP::ErrorCause::NamedNumber(m.get_pdu().get_response().get_error().asInt());
}

}  // namespace

TEST(ServerOptions, HelpPrintsTheUsageAndExitsWithZero) {
    ServerProcess server;
    server.spawn({"--help"});
    EXPECT_EQ(server.wait(), 0);
    EXPECT_EQ(server.out(), usage);
}

TEST(ServerOptions, VersionPrintsTheVersionExitsWithTwoAndCreatesNoFile) {
    ServerProcess server;
    server.spawn({"--version"});
    EXPECT_EQ(server.wait(), 2);
    EXPECT_EQ(server.out(), "server version: T231005-1638\n");
    EXPECT_FALSE(fileExists(server.root() + "/var/run/server.pid"));
}

TEST(ServerOptions, ShortPAndUnknownOptionsPrintTheUsageAndExitWithTwo) {
    for (char const* option : {"-p", "--bogus"}) {
        ServerProcess server;
        server.spawn({option, "3000"});
        EXPECT_EQ(server.wait(), 2) << option;
        EXPECT_EQ(server.out(), usage) << option;
        EXPECT_FALSE(fileExists(server.root() + "/var/run/server.pid")) << option;
    }
}

TEST(ServerLifecycle, StartsWithPidFileLineAndPortAndStopsCleanlyOnSigterm) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    // The line is printed after the pid file is written and before the port opens.
    std::string const pidFile = server.root() + "/var/run/server.pid";
    EXPECT_EQ(readFile(pidFile), std::to_string(server.pid()));
    EXPECT_EQ(server.out(),
              "Starting server [T231005-1638], port=" + std::to_string(server.port()) + "\n");
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    server.signal(SIGTERM);
    EXPECT_EQ(server.wait(), 0);
    EXPECT_FALSE(fileExists(pidFile));
}

TEST(ServerLifecycle, SigintStopsTheServerWithStatusZero) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    server.signal(SIGINT);
    EXPECT_EQ(server.wait(), 0);
    EXPECT_FALSE(fileExists(server.root() + "/var/run/server.pid"));
}

TEST(ServerLifecycle, SigtermDuringStartUpStillStopsTheServer) {
    // Many signals from the moment the process exists: whichever phase of
    // start-up they meet, the server ends with status 0 and removes its pid file.
    for (int round = 0; round < 5; ++round) {
        ServerProcess server;
        server.spawn({"--port", std::to_string(freePort())});
        std::atomic<bool> done{false};
        std::thread killer([&] {
            while (!done) {
                server.signal(SIGTERM);
                std::this_thread::sleep_for(std::chrono::microseconds(200 * (round + 1)));
            }
        });
        int const status = server.wait();
        done = true;
        killer.join();
        // A signal before the handlers exist ends the process by SIGTERM.
        EXPECT_TRUE(status == 0 || status == 128 + SIGTERM) << status;
        EXPECT_FALSE(fileExists(server.root() + "/var/run/server.pid"));
    }
}

TEST(ServerLifecycle, Sigusr2WritesTheStatusDumpAndSighupLogsAResourceUpdate) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    EXPECT_TRUE(c.pingAnswered(1));  // the connection is taken
    server.signal(SIGUSR2);
    std::string const dump = server.root() + "/var/log/server-status";
    ASSERT_TRUE(waitFor(
        [&] { return readFile(dump).find("StrmProtocol::on_event") != std::string::npos; }, 5s));
    std::string const status = readFile(dump);
    EXPECT_EQ(status.find("mobrel server status information\nversion : T231005-1638\n"), 0u);
    EXPECT_NE(status.find("AcceptorNet::OnSocketEvent"), std::string::npos);
    server.signal(SIGHUP);
    EXPECT_TRUE(server.errHas("update hardware resources\n"));
}

TEST(ServerDispatch, PingIsAnsweredWithItsSequenceNumber) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    EXPECT_TRUE(c.pingAnswered(7));
    EXPECT_TRUE(c.pingAnswered(0));
    c.sendMessage(ping());
    LGCP::Message answer;
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(text(encode(answer)), "10");  // no seq, no slot, success
}

TEST(ServerDispatch, ConnectingControllerHearsTheE1TrunksThenThePowerState) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    for (int trunk = 0; trunk < 4; ++trunk) {
        LGCP::Message m;
        ASSERT_TRUE(c.readMessage(m));
        EXPECT_EQ(m.get_pdu().get_signal().get_trunkStatus().get_trunk().getValue(), trunk);
    }
    bool ok = false;
    EXPECT_EQ(text(c.readFrame(ok)), "24 70");  // signal power : both
    EXPECT_TRUE(ok);
}

TEST(ServerDispatch, UntakenCommandsAndBadSlotsAreAnsweredWithErrors) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    LGCP::Message answer;

    // query is taken only without a slot number.
    LGCP::Message query;
    query.set_seq(3);
    query.set_slot(4);
    query.set_pdu().select_command().select_query();
    c.sendMessage(query);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(errorOf(answer), LGCP::ErrorCause::unexpectedMsgType);
    EXPECT_EQ(answer.get_seq().getValue(), 3);
    EXPECT_EQ(answer.get_slot().getValue(), 4u);

    // slot 1024 (two aligned octets 04 00), ping: no slot in the answer.
    c.send(frame(hex("40 04 00 18")));
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(text(encode(answer)), "18 80");  // response error invalidSlot

    // A response from the controller is no command.
    LGCP::Message response;
    response.set_pdu().select_response().select_success();
    c.sendMessage(response);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(errorOf(answer), LGCP::ErrorCause::unexpectedMsgType);

    // display is taken and answered by the monitoring controller.
    LGCP::Message display;
    display.set_slot(4u);
    display.set_pdu().select_command().select_display().select_snmpTrapReceivers();
    c.sendMessage(display);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_TRUE(answer.get_pdu().get_response().success_isSelected());
    EXPECT_EQ(answer.get_slot().getValue(), 4u);
}

TEST(ServerDispatch, UndecodableBytesAreLoggedUnansweredAndTheNextFrameIsServed) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    c.send(frame(hex("FF EE 0D")));
    EXPECT_TRUE(server.errHas("]: receive fail: decode error!\n msg: FF EE 0D \n"));
    EXPECT_TRUE(c.pingAnswered(9));
}

TEST(ServerTpkt, FramesSplitJoinedOrAfterGarbageAreServed) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    ASSERT_TRUE(c.connect(server.port()));
    LGCP::Message answer;

    Bytes const one = frame(encode(ping(1)));
    for (unsigned char byte : one) c.send(Bytes{byte});
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(answer.get_seq().getValue(), 1);

    Bytes joined = frame(encode(ping(2)));
    Bytes const three = frame(encode(ping(3)));
    joined.insert(joined.end(), three.begin(), three.end());
    c.send(joined);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(answer.get_seq().getValue(), 2);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(answer.get_seq().getValue(), 3);

    Bytes garbage = hex("55 66");
    Bytes const four = frame(encode(ping(4)));
    garbage.insert(garbage.end(), four.begin(), four.end());
    c.send(garbage);
    ASSERT_TRUE(c.readAnswer(answer));
    EXPECT_EQ(answer.get_seq().getValue(), 4);
    EXPECT_TRUE(
        server.errHas("(no name) bad TPKT packet start.\n(no name) bad TPKT packet start.\n"));
}

TEST(ServerConnections, ASecondControllerIsRefusedAndTheFirstKeepsWorking) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller first;
    ASSERT_TRUE(first.connect(server.port()));
    EXPECT_TRUE(first.pingAnswered(1));
    Controller second;
    ASSERT_TRUE(second.connect(server.port()));
    EXPECT_TRUE(second.closedByPeer(5s));
    EXPECT_TRUE(server.errHas("refuse connection from 127.0.0.1:"));
    EXPECT_TRUE(first.pingAnswered(2));
    // Once the first leaves, the next controller is taken.
    first.close();
    Controller third;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!third.connect(server.port())) return false;
            third.sendMessage(ping(3));
            LGCP::Message answer;
            // The server first spends a second on the slots of the first.
            return third.readAnswer(answer, 3s);
        },
        10s));
}

TEST(ServerConnections, AControllerThatStopsReadingIsDroppedAfterTheWriteBudget) {
    ServerProcess server;
    ASSERT_TRUE(server.start());
    Controller c;
    c.receiveBuffer(4096);  // a small window keeps the server's send buffer small
    ASSERT_TRUE(c.connect(server.port()));
    // Pings until the server's answers fill every buffer on the way back.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        Bytes batch;
        Bytes const one = frame(encode(ping(1)));
        for (int i = 0; i < 4096; ++i) batch.insert(batch.end(), one.begin(), one.end());
        while (!done) {
            if (::send(c.fd(), batch.data(), batch.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                errno != EAGAIN)
                break;
            std::this_thread::sleep_for(1ms);
        }
    });
    bool const timedOut = server.errHas("SockStream[server]: write timeout, sendbuf=", 60s);
    done = true;
    writer.join();
    ASSERT_TRUE(timedOut);
    EXPECT_TRUE(server.errHas(" closed.\n"));
    c.close();
    Controller next;
    ASSERT_TRUE(next.connect(server.port()));
    EXPECT_TRUE(next.pingAnswered(8));
}

// As a daemon the server detaches and writes its pid file and start-up line
// before it binds its services: what they say when they open the board goes
// to the log daemon, after the start-up line.
TEST(ServerLifecycle, ADaemonDetachesAndWritesItsPidFileBeforeItBindsItsServices) {
    ServerProcess server;
    LogSocket log(server.root());
    ASSERT_TRUE(log.ok());
    server.spawn({"-D", "--port", std::to_string(freePort())});
    EXPECT_EQ(server.wait(), 0) << "the process that detached";
    std::string const pidFile = server.root() + "/var/run/server.pid";
    ASSERT_TRUE(waitFor([&] { return !readFile(pidFile).empty(); }, 5s));
    pid_t const daemon = std::stoi(readFile(pidFile));

    // The lines of the daemon up to the SPI service's first one, each
    // without "<priority>date tag: ".
    std::vector<std::string> lines;
    for (bool spi = false; !spi;) {
        std::string const datagram = log.receive();
        if (datagram == "<none>") break;
        for (std::string const& record : records(datagram)) {
            lines.push_back(record.substr(record.find(": ") + 2));
            spi = spi || lines.back() == "spi: try init";
        }
    }
    // The log is read on until the daemon has gone, so that it never waits
    // for the log daemon to take a line.
    ::kill(daemon, SIGTERM);
    EXPECT_TRUE(waitFor(
        [&] {
            while (log.receive(0) != "<none>") {
            }
            return !fileExists(pidFile);
        },
        5s));
    auto const at = [&](std::string const& start) {
        return std::find_if(lines.begin(), lines.end(),
                            [&](std::string const& line) { return line.rfind(start, 0) == 0; });
    };
    ASSERT_NE(at("spi: try init"), lines.end()) << ::testing::PrintToString(lines);
    EXPECT_LT(at("Starting server [T231005-1638], port="), at("spi: try init"));
    EXPECT_EQ(server.out().find("spi:"), std::string::npos);
    EXPECT_EQ(server.err().find("spi:"), std::string::npos);
}
