// The fixed helper port for the tests, whatever the host runs: who holds a
// port is named, and a private network has the port free while the host's
// listener goes on.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/private_network.h"
#include "tests/support/sockets.h"

using namespace support;

namespace {

// Binds and listens on 127.0.0.1:port; whether both worked.
bool listensOn(int port) {
    int const sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool const done =
        ::bind(sock, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0 && ::listen(sock, 1) == 0;
    ::close(sock);
    return done;
}

}  // namespace

TEST(PrivateNetwork, TheHolderOfAPortIsNamedAndAPrivateNetworkHasThePortFree) {
    TcpListener const host(0);
    ASSERT_TRUE(host.listening());
    int const port = host.port();
    EXPECT_EQ(portHolder(port).rfind("pid " + std::to_string(::getpid()) + " (", 0), 0u)
        << portHolder(port);
    EXPECT_EQ(portHolder(freePort()), "");

    pid_t const child = ::fork();
    if (child == 0) {
        if (!privateNetwork()) ::_exit(77);
        ::_exit(portHolder(port).empty() && listensOn(port) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "this host allows no network namespace";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(portHolder(port).rfind("pid ", 0), 0u) << "the host's listener went";
}
