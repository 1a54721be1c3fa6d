// The HDLC channel on the simulated board: its switch paths, and frames over
// two channels joined back to back and parted again. (The failing steps and
// the line socket are shown through the server program.)

#include "signalling/hdlc/hdlc_channel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/board.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

using namespace support;

namespace {

TempRoot const root;  // MOBREL_ROOT of the board

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
