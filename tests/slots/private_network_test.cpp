// The fixed helper port for the tests, whatever the host runs: who holds a
// port is named, and a private network has it free while the host's
// listener goes on.

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/private_network.h"
#include "tests/support/sockets.h"

using namespace support;

TEST(PrivateNetwork, TheHolderOfAPortIsNamedAndAPrivateNetworkHasThePortFree) {
    TcpListener const host(0);
    ASSERT_TRUE(host.listening());
    int const port = host.port();
    std::string const holder = "pid " + std::to_string(::getpid()) + " (";
    EXPECT_EQ(portHolder(port).rfind(holder, 0), 0u) << portHolder(port);
    EXPECT_EQ(portHolder(freePort()), "");

    pid_t const child = ::fork();
    if (child == 0) {
        if (!privateNetwork()) ::_exit(77);
        ::_exit(portHolder(port).empty() && TcpListener(port).listening() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "this host allows no network namespace";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(portHolder(port).rfind(holder, 0), 0u) << "the host's listener went";
}
