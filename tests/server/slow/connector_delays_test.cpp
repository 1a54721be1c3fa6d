// The connectors' own delays at their real length, on the TCP connector (the
// Unix-socket connector shares its schedule): seven retries a second apart
// after Activate(), then a wait of many seconds, and a dropped link opened
// again after ten seconds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/connector_net.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

using namespace support;

TEST(ConnectorDelays, ARefusedPeerIsRetriedEverySecondSevenTimesThenAfterManySeconds) {
    RefusingPort const refusing;
    int const port = refusing.port();
    Control::ConnectorNet connector("127.0.0.1", static_cast<unsigned short>(port));
    StreamCapture errors(std::cerr);
    auto const failures = [&] {
        return errors.starting({"can't connect to ", "fail to connect to "});
    };
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return failures().size() >= 8; }, 9000));
    for (long const gap : gapsMs(failures())) {
        EXPECT_GE(gap, 950);
        EXPECT_LE(gap, 1300);
    }
    // The next attempt waits 15 or 20 seconds.
    EXPECT_FALSE(runUntil([&] { return failures().size() > 8; }, 2000));
    EXPECT_TRUE(connector.retry_pending());
    connector.Deactivate();
}

TEST(ConnectorDelays, ADroppedLinkIsOpenedAgainTenSecondsLater) {
    TcpListener listener(0);
    Control::ConnectorNet connector("127.0.0.1", listener.port());
    LinkRecorder recorder;
    connector.Bind(&recorder);
    StreamCapture errors(std::cerr);
    connector.Activate();
    Fd peer;
    ASSERT_TRUE(runUntilAccepted(
        listener, peer, [&] { return recorder.connects == 1; }, 2000));
    peer.close();
    ASSERT_TRUE(runUntilAccepted(
        listener, peer, [&] { return recorder.connects == 2; }, 12000));
    long const waited = millisBetween(recorder.disconnectTimes[0], recorder.connectTimes[1]);
    EXPECT_GE(waited, 9900);
    EXPECT_LE(waited, 10600);
    connector.Deactivate();
}
