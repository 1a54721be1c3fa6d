#include "runtime/system/async_connect.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"

namespace {

using Status = ASync::Connect::Status;
using support::runLoop;

// A TCP socket bound to 127.0.0.1 on a free port, listening with the given
// backlog (or not listening at all, so that connections are refused).
struct Loopback {
    explicit Loopback(int backlog, bool listening = true)
        : socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(addr);
        ::bind(socket.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), size);
        if (listening) ::listen(socket.lowlevel_fd(), backlog);
        ::getsockname(socket.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), &size);
        port = ntohs(addr.sin_port);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port); }
    Fd socket;
    int port = 0;
};

// A listener whose accept queue is full: its one queued connection is
// established and never accepted, so further SYNs go unanswered.
struct FullListener : Loopback {
    FullListener() : Loopback(0), filler(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(uint16_t(port));
        ::connect(filler.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        pollfd entry{filler.lowlevel_fd(), POLLOUT, 0};
        filled = ::poll(&entry, 1, 2000) == 1 && entry.revents == POLLOUT;
    }
    Fd filler;
    bool filled = false;
};

// How many descriptors the process has open.
int open_descriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) ++count;
    return count;
}

// The owner of an attempt: records what it is told and stops the loop.
struct Owner {
    explicit Owner(ASync::Connect& connect) { connect.Bind(&Owner::OnConnect, this); }
    void OnConnect(Status::Type status, Fd fd) {
        statuses.push_back(status);
        socket = std::move(fd);
        Multiplexer::terminate();
    }
    std::vector<Status::Type> statuses;
    Fd socket;
};

// Runs the loop until the owner heard something (it may have already).
void wait_for(Owner const& owner) {
    if (owner.statuses.empty()) {
        EXPECT_TRUE(runLoop());
    }
}

TEST(AsyncConnect, ConnectsToALoopbackListenerAndHandsOverTheSocket) {
    Loopback listener(4);
    ASync::Connect connect;
    Owner owner(connect);
    connect.Start(listener.address(), 5000);
    wait_for(owner);

    ASSERT_EQ(owner.statuses, std::vector<Status::Type>{Status::connected});
    EXPECT_EQ(connect.status(), Status::connected);
    ASSERT_TRUE(owner.socket.is_valid());
    Fd accepted(::accept(listener.socket.lowlevel_fd(), nullptr, nullptr));
    ASSERT_TRUE(accepted.is_valid());
    ASSERT_EQ(::write(owner.socket.lowlevel_fd(), "voice", 5), 5);
    char text[8] = {};
    EXPECT_EQ(::read(accepted.lowlevel_fd(), text, sizeof(text)), 5);
    EXPECT_STREQ(text, "voice");

    // Nothing of the attempt is left to fire: no pending time-out ends a loop.
    EXPECT_FALSE(runLoop(50));
    EXPECT_EQ(owner.statuses.size(), 1u);
}

TEST(AsyncConnect, ARefusedConnectionFailsOnceWithoutADescriptor) {
    Loopback closed(0, false);
    int const before = open_descriptors();
    ASync::Connect connect;
    Owner owner(connect);
    connect.Start(closed.address(), 5000);
    wait_for(owner);

    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_FALSE(owner.socket.is_valid());
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_FALSE(runLoop(50));
    EXPECT_EQ(owner.statuses.size(), 1u);
}

TEST(AsyncConnect, APeerThatNeverAnswersFailsAfterTheTimeOutAndTheSocketIsClosed) {
    FullListener listener;
    ASSERT_TRUE(listener.filled);
    int const before = open_descriptors();
    ASync::Connect connect;
    Owner owner(connect);
    auto const started = std::chrono::steady_clock::now();
    connect.Start(listener.address(), 200);
    EXPECT_EQ(connect.status(), Status::connecting);
    EXPECT_GT(open_descriptors(), before);  // the attempt holds its socket

    EXPECT_TRUE(runLoop());
    EXPECT_GE(support::elapsedMs(started), 190);
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_FALSE(owner.socket.is_valid());
    EXPECT_EQ(open_descriptors(), before);
}

TEST(AsyncConnect, RefusesAddressesThatNameNoPeerWithALineOnTheErrorStream) {
    // Something listens on the port, so that a connect to 0.0.0.0 (which the
    // system takes as this host) would succeed if it were tried.
    Loopback listener(4);
    std::string const port = std::to_string(listener.port);
    std::vector<std::string> const bad = {
        "nonsense:" + port, "127.0.0.1", "127.0.0.1:0", "127.0.0.1:x", "0.0.0.0:" + port,
        "127.0.0.1:70000",  ""};
    for (std::string const& address : bad) {
        support::StreamCapture errors(std::cerr);
        int const before = open_descriptors();
        ASync::Connect connect;
        Owner owner(connect);
        connect.Start(address, 5000);
        EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed}) << address;
        EXPECT_EQ(errors.text(), "Connect: invalid peer address \"" + address + "\"\n");
        EXPECT_EQ(open_descriptors(), before) << address;
    }
}

TEST(AsyncConnect, StopEndsAnAttemptOnceAndNothingFollows) {
    FullListener listener;
    ASSERT_TRUE(listener.filled);
    ASync::Connect connect;
    Owner owner(connect);
    connect.Stop();  // nothing to stop yet
    EXPECT_TRUE(owner.statuses.empty());

    connect.Start(listener.address(), 50);
    connect.Stop();
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::stopped});
    EXPECT_FALSE(owner.socket.is_valid());
    // The time-out that was armed never comes.
    EXPECT_FALSE(runLoop(200));
    connect.Stop();
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::stopped});
}

TEST(AsyncConnect, DestroyingAnAttemptInProgressTellsNobody) {
    FullListener listener;
    ASSERT_TRUE(listener.filled);
    int const before = open_descriptors();
    std::vector<Status::Type> statuses;
    {
        ASync::Connect connect;
        Owner owner(connect);
        connect.Start(listener.address(), 50);
        statuses = owner.statuses;
    }
    EXPECT_FALSE(runLoop(200));
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(open_descriptors(), before);
}

// Deletes its Connect inside the callback, as a slot that ends itself does.
struct SelfDestroying {
    SelfDestroying() { connect->Bind(&SelfDestroying::OnConnect, this); }
    void OnConnect(Status::Type status, Fd) {
        statuses.push_back(status);
        connect.reset();
        Multiplexer::terminate();
    }
    std::unique_ptr<ASync::Connect> connect = std::make_unique<ASync::Connect>();
    std::vector<Status::Type> statuses;
};

TEST(AsyncConnect, AnOwnerMayDestroyTheObjectInsideTheCallback) {
    SelfDestroying bad_address;
    bad_address.connect->Start("127.0.0.1", 5000);
    EXPECT_EQ(bad_address.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(bad_address.connect, nullptr);

    Loopback listener(4);
    SelfDestroying connected;
    connected.connect->Start(listener.address(), 5000);
    if (connected.statuses.empty()) {
        EXPECT_TRUE(runLoop());
    }
    EXPECT_EQ(connected.statuses, std::vector<Status::Type>{Status::connected});
    EXPECT_EQ(connected.connect, nullptr);

    FullListener full;
    ASSERT_TRUE(full.filled);
    SelfDestroying timed_out;
    timed_out.connect->Start(full.address(), 50);
    EXPECT_TRUE(runLoop());
    EXPECT_EQ(timed_out.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(timed_out.connect, nullptr);
}

TEST(AsyncConnect, AnOwnerMayStartAgainInsideTheCallback) {
    Loopback closed(0, false);
    Loopback listener(4);
    struct Retrying {
        void OnConnect(Status::Type status, Fd fd) {
            statuses.push_back(status);
            if (status == Status::failed) {
                connect.Start(next, 5000);
                return;
            }
            socket = std::move(fd);
            Multiplexer::terminate();
        }
        ASync::Connect connect;
        std::string next;
        std::vector<Status::Type> statuses;
        Fd socket;
    } owner;
    owner.next = listener.address();
    owner.connect.Bind(&Retrying::OnConnect, &owner);
    owner.connect.Start(closed.address(), 5000);
    if (owner.statuses.size() < 2) {
        EXPECT_TRUE(runLoop());
    }

    EXPECT_EQ(owner.statuses, (std::vector<Status::Type>{Status::failed, Status::connected}));
    EXPECT_TRUE(owner.socket.is_valid());
    EXPECT_EQ(owner.connect.status(), Status::connected);
}

}  // namespace
