// The TCP connector against real listeners on 127.0.0.1, driven by the real
// main loop: the link it opens, the frames it carries, and the schedule of
// its attempts and re-opens on delays shortened to a few hundredths of a second,
// measured with a tolerance (slow/ times the server's own delays).

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "server/connector_net.h"
#include "tests/support/capture.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

using namespace support;

namespace {

std::string address(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

// Seven quick retries 50 ms apart, then 300 ms whatever the cause; a
// dropped link is opened again after 100 ms.
Control::ConnectorDelays const fast{7, 50, 300, 300, 300, 100};

// The failed attempts, as the connector's error lines tell them.
std::vector<StreamCapture::Line> failures(StreamCapture const& errors) {
    return errors.starting({"can't connect to ", "fail to connect to "});
}

}  // namespace

TEST(ConnectorNet, OpensTheLinkAndCarriesFramesBothWays) {
    int const port = freePort();
    TcpListener listener(port);
    Control::ConnectorNet connector("127.0.0.1", static_cast<unsigned short>(port));
    LinkRecorder recorder;
    connector.Bind(&recorder);
    StreamCapture out(std::cout);
    StreamCapture log(std::clog);
    ASSERT_TRUE(connector.Activate());

    Fd peer;
    ASSERT_TRUE(runUntilAccepted(
        listener, peer, [&] { return recorder.connects == 1; }, 2000));
    EXPECT_TRUE(connector.IsConnected());
    EXPECT_EQ(connector.GetAddr(), address(port));
    // The connect completes at once or after a poll; either way it is told.
    std::string const told = out.text() + log.text();
    EXPECT_TRUE(told.find("connected to " + address(port) + ".\n") != std::string::npos ||
                told.find("already connected to " + address(port) + "\n") != std::string::npos)
        << told;

    connector.Send("ABC", 3);
    EXPECT_EQ(text(drain(peer)), "03 00 00 07 41 42 43");

    // Bytes that are no frame start are logged and skipped; the link goes on.
    ASSERT_TRUE(sendAll(peer, hex("07 03 00 00 06 01 02")));
    ASSERT_TRUE(runUntil([&] { return !recorder.messages.empty(); }, 2000));
    EXPECT_EQ(recorder.messages, std::vector<std::string>{"\x01\x02"});
    EXPECT_NE(log.text().find("(no name) bad TPKT packet start.\n"), std::string::npos);
    EXPECT_TRUE(connector.IsConnected());

    // Only the stream layer holds the connection: closing it closes it
    // toward the peer.
    connector.Disconnect();
    ASSERT_TRUE(runUntil([&] { return recorder.disconnects == 1; }, 2000));
    EXPECT_TRUE(atEnd(peer));
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);
    EXPECT_TRUE(connector.retry_pending());
    connector.Deactivate();
    EXPECT_FALSE(connector.retry_pending());
    EXPECT_EQ(connector.GetState(), Control::Service::State::Idle);
}

TEST(ConnectorNet, OpensTheLinkAgainAfterThePeerCloses) {
    int const port = freePort();
    TcpListener listener(port);
    Control::ConnectorNet connector(address(port), fast);
    EXPECT_EQ(connector.host(), "127.0.0.1");
    EXPECT_EQ(connector.port(), port);
    LinkRecorder recorder;
    connector.Bind(&recorder);
    StreamCapture errors(std::cerr);
    connector.Activate();
    Fd peer;
    ASSERT_TRUE(runUntilAccepted(
        listener, peer, [&] { return recorder.connects == 1; }, 2000));

    peer.close();
    ASSERT_TRUE(runUntil([&] { return recorder.disconnects == 1; }, 2000));
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);
    EXPECT_EQ(errors.text(), "control connection " + address(port) + " closed.\n");

    ASSERT_TRUE(runUntilAccepted(
        listener, peer, [&] { return recorder.connects == 2; }, 2000));
    long const waited = millisBetween(recorder.disconnectTimes[0], recorder.connectTimes[1]);
    EXPECT_GE(waited, 95);
    EXPECT_LE(waited, 500);
    connector.Send("Z", 1);
    EXPECT_EQ(text(drain(peer)), "03 00 00 05 5A");
}

TEST(ConnectorNet, RetriesARefusedPeerQuicklySevenTimesThenSlowly) {
    RefusingPort const refusing;
    int const port = refusing.port();
    Control::ConnectorNet connector("127.0.0.1", static_cast<unsigned short>(port), fast);
    LinkRecorder recorder;
    connector.Bind(&recorder);
    StreamCapture errors(std::cerr);
    auto const start = Clock::now();
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return failures(errors).size() >= 8; }, 3000));
    std::vector<StreamCapture::Line> const attempts = failures(errors);
    EXPECT_LT(millisBetween(start, attempts[0].when), 100);
    for (long const gap : gapsMs(attempts)) {
        EXPECT_GE(gap, 45);
        EXPECT_LE(gap, 250);
    }
    // Refused at once, or reported by poll: the address and cause are told.
    std::string const& first = attempts[0].text;
    EXPECT_TRUE(first == "can't connect to " + address(port) + " : Connection refused" ||
                first == "fail to connect to " + address(port))
        << first;

    // No quick retry is left: the next attempt waits the slow delay.
    EXPECT_EQ(connector.quick_retries_left(), 0);
    EXPECT_TRUE(connector.retry_pending());
    ASSERT_TRUE(runUntil([&] { return failures(errors).size() > 8; }, 2000));
    EXPECT_GE(millisBetween(attempts.back().when, failures(errors)[8].when), 290);
    EXPECT_EQ(recorder.connects, 0);
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);

    // Activate restores the quick retries: the attempt after it fails is
    // retried quickly again.
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return failures(errors).size() >= 11; }, 1000));
    long const gap = millisBetween(failures(errors)[9].when, failures(errors)[10].when);
    EXPECT_GE(gap, 45);
    EXPECT_LE(gap, 250);
    connector.Deactivate();
}

TEST(ConnectorNet, DeactivateStopsAnAttemptInProgress) {
    int const port = freePort();
    // A listener whose accept queue is full drops further connection
    // requests, so the connector's attempt stays in progress.
    TcpListener listener(port, 0);
    std::vector<Fd> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(connectTcp(port, 0, false));
    Control::ConnectorNet connector("127.0.0.1", static_cast<unsigned short>(port));
    LinkRecorder recorder;
    connector.Bind(&recorder);
    StreamCapture out(std::cout);
    StreamCapture errors(std::cerr);
    ASSERT_TRUE(connector.Activate());
    runFor(200);
    ASSERT_TRUE(connector.connecting()) << errors.text();
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);

    connector.Deactivate();
    EXPECT_FALSE(connector.connecting());
    EXPECT_FALSE(connector.retry_pending());
    EXPECT_EQ(connector.GetState(), Control::Service::State::Idle);
    // Room in the queue now would let a live attempt complete.
    while (listener.accept().is_valid()) {
    }
    runFor(1500);
    EXPECT_EQ(recorder.connects, 0);
    EXPECT_EQ(out.text(), "");
    EXPECT_EQ(errors.text(), "");
}

TEST(ConnectorNet, GivesUpAtOnceOnAHostThatIsNoIPv4Address) {
    Control::ConnectorNet connector("controller.local", 20001);
    StreamCapture errors(std::cerr);
    EXPECT_FALSE(connector.Activate());
    EXPECT_EQ(connector.GetState(), Control::Service::State::Idle);
    EXPECT_FALSE(connector.retry_pending());
    EXPECT_EQ(errors.text(),
              "can't connect to controller.local:20001 : not a dotted IPv4 address\n");

    // The text form: a port after the colon; none leaves port 0.
    Control::ConnectorNet bare("10.0.0.7");
    EXPECT_EQ(bare.host(), "10.0.0.7");
    EXPECT_EQ(bare.port(), 0);
}
