// The device layer over the simulated board: descriptors that are real ones,
// records read whole, requests dispatched by number, big-endian records.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>

#include "hardware/device/device.h"
#include "hardware/device/hal_driver.h"
#include "hardware/simboard/models.h"
#include "tests/support/board.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

using support::board;

namespace {

support::TempRoot const root;

bool logHas(std::string const& line) {
    return board("log").find(line + "\n") != std::string::npos;
}

}  // namespace

TEST(DeviceLayer, DuplicatedAndForkedDescriptorsReachTheSameOpen) {
    int const fd = Device::open("/dev/hal", O_RDWR);
    ASSERT_GE(fd, 0);
    std::string const name =
        "hal#" + std::to_string(SimBoard::Board::instance().opens("/dev/hal").back()->serial);
    int const copy = ::dup(fd);
    Device::Record<8> record{9000, 0x42};
    EXPECT_EQ(Device::ioctl(copy, Device::HAL_MUX_WRITE, record.data()), 0);
    pid_t const child = ::fork();
    if (child == 0) ::_exit(::write(fd, "abc", 3) == 3 ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(support::runUntil(
        [&] { return logHas(name + " HAL_MUX_WRITE 9000 66") && logHas(name + " write 3"); },
        2000));

    // The board sees the last close only.
    ::close(fd);
    EXPECT_FALSE(support::runUntil([&] { return logHas(name + " close"); }, 100));
    ::close(copy);
    EXPECT_TRUE(support::runUntil([&] { return logHas(name + " close"); }, 2000));
}

TEST(DeviceLayer, ARecordIsReadWholeOrNotAtAll) {
    int const fd = Device::open("/dev/hal", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    uint8_t buffer[64];
    errno = 0;
    EXPECT_EQ(Device::read(fd, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(errno, EAGAIN);

    SimBoard::Board& b = SimBoard::Board::instance();
    auto opens = b.opens("/dev/hal");
    ASSERT_FALSE(opens.empty());
    uint8_t const record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(b.post(*opens.back(), record, sizeof(record)));

    EXPECT_EQ(Device::read(fd, buffer, 8), -1);
    EXPECT_EQ(errno, EMSGSIZE);
    ASSERT_EQ(Device::read(fd, buffer, sizeof(buffer)), 12);
    EXPECT_EQ(std::string(buffer, buffer + 12), std::string(record, record + 12));
    EXPECT_EQ(Device::read(fd, buffer, sizeof(buffer)), -1);
    EXPECT_EQ(errno, EAGAIN);
    ::close(fd);
}

TEST(DeviceLayer, RefusesWhatNoDriverServes) {
    int const fd = Device::open("/dev/hal", O_RDWR);
    ASSERT_GE(fd, 0);
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    Device::Record<8> record{8200, 5};
    auto const error = [](int result) { return result == -1 ? errno : 0; };
    EXPECT_EQ(error(Device::ioctl(fd, 0x80084D7F, record.data())), ENOTTY) << "unknown request";
    EXPECT_EQ(error(Device::ioctlValue(fd, Device::HAL_MUX_CONNECT, 5)), EFAULT)
        << "value for a record";
    EXPECT_EQ(error(Device::ioctl(pipe_ends[0], Device::HAL_MUX_CONNECT, record.data())), ENOTTY)
        << "not a device";
    for (int d : {fd, pipe_ends[0], pipe_ends[1]}) ::close(d);
}

TEST(DriverRecord, WordsAndHalfWordsAreBigEndian) {
    Device::Record<10> record{0x01020304, 0xA0B0C0D0};
    record.put16(8, 0xBEEF);
    uint8_t const expected[10] = {1, 2, 3, 4, 0xA0, 0xB0, 0xC0, 0xD0, 0xBE, 0xEF};
    EXPECT_EQ(std::string(record.data(), record.data() + 10), std::string(expected, expected + 10));
    EXPECT_EQ(record.get32(4), 0xA0B0C0D0u);
    EXPECT_EQ(record.get16(8), 0xBEEF);
}

// The driver headers' record sizes agree with the size their request numbers
// carry (the PowerPC encoding: bits 16-28), and no path serves a number twice.
TEST(DriverRecord, SizesMatchTheRequestNumbers) {
    auto const models = SimBoard::MakeModels(SimBoard::Board::instance());
    std::set<std::pair<std::string, uint32_t>> served;
    for (auto const& model : models) {
        for (SimBoard::Request const& request : model->requests()) {
            SCOPED_TRACE(request.name);
            EXPECT_TRUE(served.emplace(model->path(), request.number).second) << "served twice";
            bool const encoded = request.number >> 29 != 0;
            if (request.arg == SimBoard::Request::pointer && encoded) {
                EXPECT_EQ(request.number >> 16 & 0x1FFF, request.size);
            }
            if (request.arg == SimBoard::Request::pointer) {
                EXPECT_GT(request.size, 0);
            }
        }
    }
    EXPECT_FALSE(served.empty());
}
