// The Unix-socket acceptor and connector over socket paths under a test
// MOBREL_ROOT, driven by the real main loop; the connector's delays are
// shortened to a few hundredths of a second.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "server/acceptor_unix.h"
#include "server/connector_unix.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"
#include "tests/support/temp_root.h"

using namespace support;

namespace {

// A MOBREL_ROOT of the test's own with a var/run directory.
class UnixLinks : public ::testing::Test {
protected:
    UnixLinks() { root_.mkdirs("var/run"); }
    std::string under(std::string const& path) const { return root_.under(path); }
    bool isSocket(std::string const& path) const {
        struct stat st;
        return ::stat(under(path).c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    }

    TempRoot root_;
};

// Seven quick retries 50 ms apart, then 300 ms whatever the cause; a
// dropped link is opened again after 100 ms.
Control::ConnectorDelays const fast{7, 50, 300, 300, 300, 100};

}  // namespace

TEST_F(UnixLinks, AcceptorAndConnectorCarryFramesOverASocketPathUnderTheRoot) {
    Control::AcceptorUnix acceptor("/var/run/trace.sock");
    Control::ConnectorUnix connector("/var/run/trace.sock", "/var/run/client.sock");
    LinkRecorder server;
    LinkRecorder client;
    acceptor.Bind(&server);
    connector.Bind(&client);
    StreamCapture out(std::cout);
    StreamCapture log(std::clog);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_TRUE(acceptor.listening());
    EXPECT_TRUE(isSocket("/var/run/trace.sock"));

    ASSERT_TRUE(connector.Activate());
    EXPECT_TRUE(connector.IsConnected());
    EXPECT_EQ(connector.GetAddr(), under("/var/run/trace.sock"));
    ASSERT_TRUE(runUntil([&] { return server.connects == 1; }, 2000));
    EXPECT_EQ(client.connects, 1);
    EXPECT_EQ(acceptor.GetAddr(), under("/var/run/client.sock"));
    EXPECT_NE(out.text().find("new connection from " + under("/var/run/client.sock") + "\n"),
              std::string::npos);
    EXPECT_NE(log.text().find("connected to " + under("/var/run/trace.sock") + "\n"),
              std::string::npos);

    connector.Send("ABC", 3);
    acceptor.Send("\x01\x02", 2);
    ASSERT_TRUE(
        runUntil([&] { return !server.messages.empty() && !client.messages.empty(); }, 2000));
    EXPECT_EQ(server.messages, std::vector<std::string>{"ABC"});
    EXPECT_EQ(client.messages, std::vector<std::string>{"\x01\x02"});

    // The acceptor closes: the connector hears of it on the next pass and
    // waits to open the link again.
    acceptor.Disconnect();
    ASSERT_TRUE(runUntil([&] { return client.disconnects == 1 && server.disconnects == 1; }, 2000));
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);
    EXPECT_TRUE(connector.retry_pending());

    // Stopping leaves the socket file in place.
    connector.Deactivate();
    acceptor.Deactivate();
    EXPECT_FALSE(acceptor.listening());
    EXPECT_TRUE(isSocket("/var/run/trace.sock"));
}

TEST_F(UnixLinks, AcceptorBindsOverAStaleSocketFileAndRefusesASecondClient) {
    // A socket file left behind by an earlier run.
    {
        Fd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
        Control::UnixAddress const address(under("/var/run/ctl.sock"));
        ASSERT_EQ(::bind(stale.lowlevel_fd(), address, address.size()), 0);
    }
    ASSERT_TRUE(isSocket("/var/run/ctl.sock"));
    Control::AcceptorUnix acceptor("/var/run/ctl.sock");
    LinkRecorder server;
    acceptor.Bind(&server);
    StreamCapture out(std::cout);
    StreamCapture errors(std::cerr);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_TRUE(acceptor.listening()) << errors.text();

    Fd const first = connectUnix(under("/var/run/ctl.sock"));
    ASSERT_TRUE(runUntil([&] { return server.connects == 1; }, 2000));
    // An unbound client has no name.
    EXPECT_EQ(out.text(), "new connection from \n");
    EXPECT_EQ(acceptor.GetAddr(), "");

    Fd const second = connectUnix(under("/var/run/ctl.sock"));
    ASSERT_TRUE(runUntil([&] { return errors.text().find("refuse") != std::string::npos; }, 2000));
    EXPECT_EQ(errors.text(), "refuse connection from \n");
    char c;
    EXPECT_EQ(::recv(second.lowlevel_fd(), &c, 1, 0), 0);  // closed at once
    EXPECT_TRUE(acceptor.IsConnected());

    // A stray byte is logged and skipped; the frame after it arrives.
    StreamCapture log(std::clog);
    ::send(first.lowlevel_fd(), "\x09\x03\x00\x00\x05Q", 6, 0);
    ASSERT_TRUE(runUntil([&] { return !server.messages.empty(); }, 2000));
    EXPECT_EQ(server.messages, std::vector<std::string>{"Q"});
    EXPECT_NE(log.text().find("(no name) bad TPKT packet start.\n"), std::string::npos);
    EXPECT_TRUE(acceptor.IsConnected());
    acceptor.Deactivate();
}

TEST_F(UnixLinks, ConnectorRetriesUntilSomeoneListens) {
    Control::ConnectorUnix connector("/var/run/late.sock", fast);
    LinkRecorder client;
    connector.Bind(&client);
    StreamCapture errors(std::cerr);
    std::string const path = under("/var/run/late.sock");
    ASSERT_TRUE(connector.Activate());
    EXPECT_EQ(connector.quick_retries_left(), 6);
    ASSERT_TRUE(runUntil([&] { return errors.lines().size() >= 2; }, 2000));
    EXPECT_EQ(errors.lines()[0].text, "can't connect to " + path + " : No such file or directory");
    long const gap = gapsMs(errors.lines())[0];
    EXPECT_GE(gap, 45);
    EXPECT_LE(gap, 250);

    Control::AcceptorUnix acceptor("/var/run/late.sock");
    LinkRecorder server;
    acceptor.Bind(&server);
    ASSERT_TRUE(acceptor.Activate());
    auto const listening = Clock::now();
    std::size_t const failed = errors.lines().size();
    ASSERT_TRUE(runUntil([&] { return client.connects == 1 && server.connects == 1; }, 2000));
    // The next quick retry finds the listener.
    EXPECT_LE(millisBetween(listening, client.connectTimes[0]), 400);
    EXPECT_EQ(errors.lines().size(), failed);
    connector.Deactivate();
    acceptor.Deactivate();
}

TEST_F(UnixLinks, ConnectorSlowsDownAfterSevenQuickRetries) {
    Control::ConnectorUnix connector("/var/run/nobody.sock", fast);
    StreamCapture errors(std::cerr);
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return errors.lines().size() >= 8; }, 3000));
    std::vector<StreamCapture::Line> const attempts(errors.lines().begin(),
                                                    errors.lines().begin() + 8);
    for (long const gap : gapsMs(attempts)) {
        EXPECT_GE(gap, 45);
        EXPECT_LE(gap, 250);
    }
    EXPECT_EQ(connector.quick_retries_left(), 0);
    EXPECT_TRUE(connector.retry_pending());
    // The next attempt waits the slow delay.
    ASSERT_TRUE(runUntil([&] { return errors.lines().size() > 8; }, 2000));
    EXPECT_GE(millisBetween(attempts.back().when, errors.lines()[8].when), 290);
    connector.Deactivate();
    EXPECT_FALSE(connector.retry_pending());
}

TEST_F(UnixLinks, ConnectorOpensTheLinkAgainAfterItDrops) {
    Control::AcceptorUnix acceptor("/var/run/re.sock");
    Control::ConnectorUnix connector("/var/run/re.sock", fast);
    LinkRecorder server;
    LinkRecorder client;
    acceptor.Bind(&server);
    connector.Bind(&client);
    StreamCapture errors(std::cerr);
    ASSERT_TRUE(acceptor.Activate());
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return server.connects == 1; }, 2000));
    acceptor.Disconnect();
    ASSERT_TRUE(runUntil([&] { return client.disconnects == 1; }, 2000));
    ASSERT_TRUE(runUntil([&] { return client.connects == 2 && server.connects == 2; }, 2000));
    long const waited = millisBetween(client.disconnectTimes[0], client.connectTimes[1]);
    EXPECT_GE(waited, 95);
    EXPECT_LE(waited, 500);
    connector.Deactivate();
    acceptor.Deactivate();
}

TEST_F(UnixLinks, PathsThatCannotBeSocketAddressesAreRefused) {
    StreamCapture errors(std::cerr);
    // The resolved path at the limit of 107 characters still works.
    std::string const dir = "/var/run/";
    std::size_t const room = Control::UnixAddress::max_path - under(dir).size();
    std::string const longest = dir + std::string(room, 'a');
    ASSERT_EQ(under(longest).size(), 107u);
    Control::AcceptorUnix fits(longest);
    ASSERT_TRUE(fits.Activate());
    EXPECT_TRUE(isSocket(longest));
    fits.Deactivate();

    // One more would be cut to a name nobody gave.
    Control::AcceptorUnix tooLong(longest + "b");
    EXPECT_FALSE(tooLong.Activate());
    EXPECT_EQ(tooLong.GetState(), Control::Service::State::Idle);
    Control::ConnectorUnix cannotReach(longest + "b");
    EXPECT_FALSE(cannotReach.Activate());
    EXPECT_FALSE(cannotReach.retry_pending());
    Control::AcceptorUnix nameless;
    EXPECT_FALSE(nameless.Activate());
    EXPECT_EQ(
        errors.text(),
        "can't listen on domain socket: socket path longer than 107 characters: " + under(longest) +
            "b\n" + "can't connect to domain socket: socket path longer than 107 characters: " +
            under(longest) + "b\n" + "can't listen on domain socket: no socket path given\n");
}
