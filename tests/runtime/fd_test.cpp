#include "runtime/system/fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <sstream>

namespace {

TEST(Fd, CopiesDuplicateTheDescriptorCloseOnExec) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    Fd reader(pipe_fds[0]);
    Fd writer(pipe_fds[1]);
    EXPECT_TRUE(fcntl(reader.lowlevel_fd(), F_GETFD) & FD_CLOEXEC);

    Fd copy(writer);
    EXPECT_NE(copy.lowlevel_fd(), writer.lowlevel_fd());
    EXPECT_TRUE(fcntl(copy.lowlevel_fd(), F_GETFD) & FD_CLOEXEC);
    writer.close();
    ASSERT_EQ(write(copy.lowlevel_fd(), "x", 1), 1);  // the copy still works
    char c = 0;
    ASSERT_EQ(read(reader.lowlevel_fd(), &c, 1), 1);
    EXPECT_EQ(c, 'x');

    Fd invalid;
    Fd invalid_copy(invalid);
    EXPECT_FALSE(invalid_copy.is_valid());
    EXPECT_FALSE(invalid_copy);
}

TEST(Fd, SelfAssignmentKeepsTheDescriptorAndSecondCloseFailsWithEbadf) {
    Fd fd(open("/dev/null", O_RDONLY));
    int const raw = fd.lowlevel_fd();
    Fd& alias = fd;
    fd = alias;
    EXPECT_EQ(fd.lowlevel_fd(), raw);
    EXPECT_NE(fcntl(raw, F_GETFD), -1);
    EXPECT_EQ(fd.close(), 0);
    errno = 0;
    EXPECT_EQ(fd.close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(fd.NonBlock());
}

TEST(Errno, PrintsTheSystemErrorText) {
    errno = ENOENT;
    Errno const e;
    std::ostringstream out;
    out << "fail: " << e;
    EXPECT_EQ(out.str(), "fail: No such file or directory");
    EXPECT_EQ(e.value(), ENOENT);
}

}  // namespace
