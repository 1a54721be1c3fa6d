// The line socket of an MCC channel of the simulated board, under an HDLC
// slot of the real server: each packet of the far end is one frame, taken
// whole or refused whole, and a far end sending as fast as it can neither
// holds the loop nor floods the error stream.

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/signalling_session.h"
#include "tests/support/sockets.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

void sendFrame(Fd const& line, size_t size, uint8_t octet) {
    std::vector<uint8_t> const frame(size, octet);
    ASSERT_EQ(::send(line.lowlevel_fd(), frame.data(), size, MSG_NOSIGNAL), ssize_t(size));
}

}  // namespace

TEST(LineSockets, TakeEachFrameWholeRefuseWhatAChannelCannotTakeAndKeepThePeer) {
    SignallingSession s;
    s.run(command(1, 1, "create : hdlcParams : { trunk 5, log 0, address -1 }") + activate(2, 1));
    Fd const line = connectUnix(s.lineSocket(1024), SOCK_SEQPACKET);
    ASSERT_TRUE(line.is_valid());

    // An empty packet is a frame of nothing, not the peer leaving.
    sendFrame(line, 0, 0);
    sendFrame(line, 2, 0x01);
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body '01 01'H } } }");
    // Longer than the channel's 512-octet frames, or than the board's
    // buffer: refused whole, not cut into records.
    sendFrame(line, 512, 0x02);
    sendFrame(line, 513, 0x03);
    sendFrame(line, 70000, 0x04);
    sendFrame(line, 1, 0x05);
    std::string const frames = s.next();
    EXPECT_EQ(frames.find("'03"), std::string::npos);
    EXPECT_EQ(frames.find("'04"), std::string::npos);
    EXPECT_NE(frames.find("{ body '02 02"), std::string::npos) << frames;
    if (frames.find("'05'H") == std::string::npos) {
        EXPECT_EQ(s.next(), "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body '05'H } } }");
    }
    EXPECT_EQ(s.next(300ms), "");

    std::string const err = s.server.err();
    EXPECT_NE(err.find("simulated board: MCC channel 1024, from the line: a record of 0 octets "
                       "lost: an empty frame is no frame (one line a streak of losses)\n"),
              std::string::npos) << err;
    EXPECT_NE(err.find("simulated board: MCC channel 1024, from the line: a record of 513 octets "
                       "lost: larger than the channel's frames of up to 512 octets (one line a "
                       "streak of losses)\n"),
              std::string::npos) << err;
    // One line per kind in the streak: the 70000 octets are counted only.
    EXPECT_EQ(occurrences(err, "octets lost"), 2u);
    // A second without losses ends the streak at the next frame taken.
    EXPECT_EQ(s.next(1100ms), "");
    sendFrame(line, 1, 0x06);
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body '06'H } } }");
    EXPECT_TRUE(s.server.errHas("simulated board: MCC channel 1024, from the line: 3 records lost "
                                "in the last streak\n"));
    EXPECT_NE(s.board("mcc").find("1024 data {0 512 0 1 1} mcc/ctl#"), std::string::npos);
}

TEST(LineSockets, LetTheControlLinkServeWhileAFarEndFloodsAndSayItsLossesOnce) {
    SignallingSession s;
    // The slot drops the far end's frames (another address), so that only
    // the line is loaded.
    s.run(command(1, 1, "create : hdlcParams : { trunk 5, log 0, address 48 }") + activate(2, 1));
    Fd const line = connectUnix(s.lineSocket(1024), SOCK_SEQPACKET);
    ASSERT_TRUE(line.is_valid());
    std::atomic<bool> stop{false};
    std::atomic<long> sent{0};
    std::thread flood([&] {
        std::vector<uint8_t> const frame(100, 0x31);
        while (!stop && ::send(line.lowlevel_fd(), frame.data(), frame.size(), MSG_NOSIGNAL) > 0)
            ++sent;
    });
    // Pings are answered all along while the far end sends 100,000 frames
    // (a board reading the far end dry answered one for every 660 frames,
    // and lost frames, two lines each; it now reads 64 a loop pass).
    while (sent < 1000) std::this_thread::yield();
    int pings = 0;
    while (sent < 100000 && pings < 100000) {
        EXPECT_TRUE(s.controller.pingAnswered(++pings));
        if (HasFailure()) break;
    }
    stop = true;
    ::shutdown(line.lowlevel_fd(), SHUT_RDWR);
    flood.join();

    // However many were lost, one line says so.
    EXPECT_TRUE(s.controller.pingAnswered(21));
    EXPECT_LE(occurrences(s.server.err(), "octets lost"), 1u) << s.server.err().substr(0, 2000);
    EXPECT_EQ(occurrences(s.server.err(), "event record lost"), 0u);
    EXPECT_EQ(occurrences(s.server.err(), "not the rest"), 0u);
}
