// The controller tool's session in-process, against a bare listening socket.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <thread>

#include "tools/ctl/session.h"

namespace {

TEST(ControllerSession, TheLongestWaitIsHonouredUntilTheServerCloses) {
    int const listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t size = sizeof(sa);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &size), 0);

    // The peer takes the connection and closes it: the only way this
    // session ends.
    std::thread peer([listener] {
        int const client = ::accept(listener, nullptr, nullptr);
        if (client >= 0) ::close(client);
    });

    Ctl::Options options;
    options.port = ntohs(sa.sin_port);
    options.wait_ms = INT_MAX;  // the largest --wait the command line takes
    std::ostringstream out;
    std::ostringstream err;
    Ctl::Session session(options, -1, out, err);
    EXPECT_EQ(session.run(), Ctl::Session::all_done) << err.str();
    peer.join();
    ::close(listener);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "mobrel-ctl: the server closed the connection\n");
}

}  // namespace
