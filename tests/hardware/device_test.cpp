// The device layer over the simulated board: descriptors that are real ones,
// records read whole, requests dispatched by number, big-endian records.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "hardware/device/device.h"
#include "hardware/device/record.h"
#include "tests/support/loop.h"

using support::board;

namespace {

support::TempRoot const root;

uint32_t const HAL_MUX_CONNECT = 0x80084D02;
uint32_t const HAL_MUX_WRITE = 0xC0084D04;

bool logHas(std::string const& line) {
    return board("log").find(line + "\n") != std::string::npos;
}

// "hal#7" for the open behind this descriptor, read from the log.
std::string openName(int fd) {
    Device::Record<8> record{9000, 0x42};
    EXPECT_EQ(Device::ioctl(fd, HAL_MUX_WRITE, record.data()), 0);
    std::string const log = board("log hal HAL_MUX_WRITE");
    size_t const end = log.rfind(" HAL_MUX_WRITE 9000 66\n");
    if (end == std::string::npos) return "";
    size_t const begin = log.rfind('\n', end) + 1;
    return log.substr(begin, end - begin);
}

}  // namespace

TEST(DeviceLayer, DuplicatedAndForkedDescriptorsReachTheSameOpen) {
    int const fd = Device::open("/dev/hal", O_RDWR);
    ASSERT_GE(fd, 0);
    std::string const name = openName(fd);
    ASSERT_NE(name, "");
    int const copy = ::dup(fd);
    EXPECT_EQ(openName(copy), name);

    pid_t const child = ::fork();
    if (child == 0) {
        // The child's writes reach the open held in the parent's board.
        ssize_t const done = ::write(fd, "abc", 3);
        ::_exit(done == 3 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(support::runUntil([&] { return logHas(name + " write 3"); }, 2000));

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
    struct Case {
        char const* what;
        std::function<int()> call;
        int error;
    } const cases[] = {
        {"unknown request", [&] { return Device::ioctl(fd, 0x80084D7F, record.data()); }, ENOTTY},
        {"value for a record", [&] { return Device::ioctlValue(fd, HAL_MUX_CONNECT, 5); }, EFAULT},
        {"not a device",
         [&] { return Device::ioctl(pipe_ends[0], HAL_MUX_CONNECT, record.data()); }, ENOTTY},
        {"closed descriptor", [&] { return Device::ioctl(999, HAL_MUX_CONNECT, record.data()); },
         EBADF},
        {"port outside the switch",
         [&] {
             Device::Record<8> far{10240, 5};
             return Device::ioctl(fd, HAL_MUX_CONNECT, far.data());
         },
         EINVAL},
        {"unknown path", [] { return Device::open("/dev/nothing", O_RDWR); }, ENOENT},
        {"failed once",
         [] {
             board("fail hal open ENXIO 1");
             return Device::open("/dev/hal", O_RDWR);
         },
         ENXIO},
        {"absent",
         [] {
             board("absent hal");
             return Device::open("/dev/hal", O_RDWR);
         },
         ENOENT},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        errno = 0;
        int const result = c.call();
        int const error = errno;
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error, c.error);
    }
    EXPECT_NE(::access((root.path() + "/dev/hal").c_str(), F_OK), 0);
    board("present hal");
    int const again = Device::open("/dev/hal", O_RDWR);
    EXPECT_GE(again, 0);
    for (int d : {fd, again, pipe_ends[0], pipe_ends[1]}) ::close(d);
}

TEST(DriverRecord, WordsAndHalfWordsAreBigEndian) {
    Device::Record<10> record{0x01020304, 0xA0B0C0D0};
    record.put16(8, 0xBEEF);
    uint8_t const expected[10] = {1, 2, 3, 4, 0xA0, 0xB0, 0xC0, 0xD0, 0xBE, 0xEF};
    EXPECT_EQ(std::string(record.data(), record.data() + 10), std::string(expected, expected + 10));
    EXPECT_EQ(record.get32(4), 0xA0B0C0D0u);
    EXPECT_EQ(record.get16(8), 0xBEEF);
}
