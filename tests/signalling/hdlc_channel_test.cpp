// The HDLC channel on the simulated board: its activation steps and their
// failures, frames over two channels joined back to back, and a channel's
// line played by a peer on the line socket.

#include "signalling/hdlc/hdlc_channel.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

using namespace support;

namespace {

TempRoot const root;

struct Frames : HDLC::Receiver {
    std::vector<std::string> got;
    void OnFrame(uint8_t const* frame, size_t size) override {
        got.emplace_back(reinterpret_cast<char const*>(frame), size);
    }
};

bool send(HDLC& channel, std::string const& frame) {
    return channel.Send(reinterpret_cast<uint8_t const*>(frame.data()), frame.size());
}

}  // namespace

TEST(HdlcChannel, FailingStepsLeaveNothingAllocated) {
    Frames frames;
    HDLC channel(frames, 5, HDLC::ss7);
    StreamCapture err(std::cerr);
    board("absent mcc/ctl");
    EXPECT_FALSE(channel.Activate());
    board("present mcc/ctl");
    board("fail mcc/ctl MCC_ALLOCATE ENOSPC 1");
    EXPECT_FALSE(channel.Activate());
    board("fail mcc/ctl MCC_TIMESLOT EIO 1");
    EXPECT_FALSE(channel.Activate());
    EXPECT_EQ(err.text(),
              "HDLC[5]: fail to open MCC device: No such file or directory\n"
              "HDLC[5]: MCC_ALLOCATE fail: No space left on device\n"
              "HDLC[5]: MCC_TIMESLOT fail: Input/output error\n");
    EXPECT_FALSE(channel.IsActive());
    EXPECT_EQ(board("mcc"), "free: data 32 of 32 bri 16 of 16 transparent 32 of 32\n");
    // A frame while down is discarded and counted.
    EXPECT_FALSE(send(channel, "x"));
    EXPECT_EQ(channel.counters().txDiscard, 1u);
}

TEST(HdlcChannel, JoinsItsTimeslotBothWaysAndCarriesFramesBackToBack) {
    Frames a_frames, b_frames;
    HDLC a(a_frames, 16, HDLC::ss7), b(b_frames, 48, HDLC::data);
    ASSERT_TRUE(a.Activate());
    ASSERT_TRUE(b.Activate());
    std::string const a_channel = std::to_string(a.channel());
    std::string const b_channel = std::to_string(b.channel());
    EXPECT_EQ(boardRequests("hal", "HAL_MUX_CONNECT"),
              (std::vector<std::string>{"HAL_MUX_CONNECT " + a_channel + " 16",
                                        "HAL_MUX_CONNECT 16 " + a_channel,
                                        "HAL_MUX_CONNECT " + b_channel + " 48",
                                        "HAL_MUX_CONNECT 48 " + b_channel}));
    EXPECT_EQ(board("mcc join " + a_channel + " " + b_channel), "");
    EXPECT_EQ(board("mcc join " + a_channel + " " + b_channel),
              "error: the line of channel " + a_channel + " has a far end already\n");

    std::vector<std::string> const sent = {std::string("\x01\x02\x03", 3), std::string(279, 'm'),
                                           std::string(1, '\0')};
    for (std::string const& frame : sent) EXPECT_TRUE(send(a, frame));
    EXPECT_TRUE(send(b, "back"));
    ASSERT_TRUE(runUntil([&] { return b_frames.got.size() == 3 && a_frames.got.size() == 1; }));
    EXPECT_EQ(b_frames.got, sent);
    EXPECT_EQ(a_frames.got, std::vector<std::string>{"back"});
    EXPECT_EQ(a.counters().txSU, 3u);
    EXPECT_EQ(b.counters().rxSU, 3u);

    // Parted, the lines have no far end: frames are lost there.
    EXPECT_EQ(board("mcc part " + b_channel), "");
    EXPECT_TRUE(send(a, "lost"));
    runFor(30);
    EXPECT_EQ(b_frames.got.size(), 3u);

    // Deactivated, the channel is free again and the timeslot idles.
    board("log clear");
    a.Deactivate();
    b.Deactivate();
    EXPECT_EQ(board("mcc"), "free: data 32 of 32 bri 16 of 16 transparent 32 of 32\n");
    EXPECT_EQ(boardRequests("hal", "HAL_MUX_WRITE"),
              (std::vector<std::string>{"HAL_MUX_WRITE 16 213", "HAL_MUX_WRITE " + a_channel + " 213",
                                        "HAL_MUX_WRITE 48 213", "HAL_MUX_WRITE " + b_channel + " 213"}));
}

TEST(HdlcChannel, LineSocketCarriesFramesToAndFromAPeer) {
    Frames frames;
    HDLC channel(frames, 17, HDLC::ss7);
    ASSERT_TRUE(channel.Activate());
    std::string const number = std::to_string(channel.channel());
    std::string const path = board("mcc line " + number);
    EXPECT_EQ(path, "/simboard/mcc-" + number + ".sock\n");

    int const peer = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string const file = root.under(path.substr(0, path.size() - 1));
    std::strcpy(address.sun_path, file.c_str());
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    runFor(20);  // the board accepts on the loop

    ASSERT_EQ(::send(peer, "\x80\x80\x00", 3, 0), 3);
    ASSERT_EQ(::send(peer, "\x81\x81\x01\x00", 4, 0), 4);
    ASSERT_TRUE(runUntil([&] { return frames.got.size() == 2; }));
    EXPECT_EQ(frames.got[0], std::string("\x80\x80\x00", 3));
    EXPECT_EQ(frames.got[1], std::string("\x81\x81\x01\x00", 4));

    EXPECT_TRUE(send(channel, "to peer"));
    runUntil([] { return false; }, 30);
    char buffer[64];
    EXPECT_EQ(::recv(peer, buffer, sizeof(buffer), MSG_DONTWAIT), 7);
    EXPECT_EQ(std::string(buffer, 7), "to peer");
    ::close(peer);

    // Releasing the channel removes its socket.
    channel.Deactivate();
    board("mcc");
    EXPECT_FALSE(fileExists(file));
}
