// The DSP data driver of the simulated board through the device layer: links
// attached per open with their switch channels, D-channel frames each way
// one per read or write, a link free again at the last close.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "hardware/device/device.h"
#include "hardware/dsp_data_link.h"
#include "tests/support/board.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

using support::board;

namespace {

support::TempRoot const root;

int Open() { return Device::open(Device::dsp_data_device, O_RDWR | O_NONBLOCK | O_CLOEXEC); }

}  // namespace

TEST(DspDataDriver, AttachesEachOpenToAFreeLinkAndCarriesItsFrames) {
    ASSERT_EQ(board("dsp-data count 2 800"), "");
    int const a = Open();
    int const b = Open();
    int const c = Open();
    DspData::Link link;
    ASSERT_EQ(DspData::Attach(a, link), 0);
    EXPECT_EQ(link.line, 800);
    EXPECT_EQ(link.b[0], 801);
    EXPECT_EQ(link.b[2], 803);
    EXPECT_EQ(DspData::Attach(a, link), -1);
    EXPECT_EQ(errno, EBUSY);
    ASSERT_EQ(DspData::Attach(b, link), 0);
    EXPECT_EQ(link.line, 804);
    EXPECT_EQ(DspData::Attach(c, link), -1);
    EXPECT_EQ(errno, ENOSPC);

    // Frames each way, whole.
    EXPECT_EQ(Device::write(b, "\x00\x01\x7F", 3), 3);
    EXPECT_EQ(Device::write(b, "\x02\x01\x73", 3), 3);
    EXPECT_TRUE(support::runUntil(
        [] { return board("dsp-data written 1") == "00 01 7F\n02 01 73\n"; }));
    EXPECT_EQ(board("dsp-data send 1 02 01 73 , 00 01 00 00 08*3"), "");
    uint8_t frame[16];
    EXPECT_EQ(Device::read(b, frame, sizeof(frame)), 3);
    EXPECT_EQ(Device::read(b, frame, sizeof(frame)), 7);
    EXPECT_EQ(frame[6], 0x08);
    EXPECT_EQ(Device::read(b, frame, sizeof(frame)), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(board("dsp-data send 2 00"), "error: no attached link 2\n");
    EXPECT_EQ(board("dsp-data send 1 0G"),
              "error: dsp-data send wants hex bytes (5A, or 5A*30 for 30 of them), frames parted "
              "by \",\"\n");

    // The last close gives the link back.
    ::close(a);
    EXPECT_TRUE(support::runUntil([&] { return DspData::Attach(c, link) == 0; }));
    EXPECT_EQ(link.line, 800);
    EXPECT_EQ(board("dsp-data"),
              "link 0 line 800 B 801 802 803 dsp-data#3, in 0, out 0\n"
              "link 1 line 804 B 805 806 807 dsp-data#2, in 2, out 2\n");
    EXPECT_EQ(board("dsp-data count 1"), "error: link 1 is attached\n");
    ::close(b);
    ::close(c);
}
