// The ping path of a warm control link allocates nothing: pipelined pings
// over TCP through the real main loop, TPKT framing, the control server's
// decoding and dispatch, the heartbeat's re-arming and the encoded answers,
// with every allocation of the process counted while they run.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>
#include <new>

#include "runtime/loop/event.h"
#include "runtime/loop/multiplexer.h"
#include "server/ctrl_server.h"
#include "server/heartbeat.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

namespace {

// Allocations through operator new while `counting` is set.
bool counting = false;
unsigned long allocations = 0;

}  // namespace

// gcc cannot tell that these are the pair of the operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

// The controller's side, served by the loop like the server's: keeps
// `window` pings with sequence numbers 0 to 63 outstanding, checks that the
// answers are the successes of the pings in order, counts allocations
// between the answer `warm` and the answer `total`, then stops the loop.
class PingDriver {
public:
    static constexpr unsigned window = 64;

    PingDriver(Fd const& socket, unsigned long warm, unsigned long total)
        : socket_(socket), warm_(warm), total_(total) {
        event_.Bind("PingDriver::on_event", &PingDriver::on_event, this);
        event_.Schedule(socket_, POLLIN);
        send(window);
    }

    unsigned long answered() const { return answered_; }
    unsigned long wrong() const { return wrong_; }

private:
    // A ping, or its answer, framed: TPKT header, then the message.
    static unsigned char frameByte(bool answer, unsigned long n, unsigned at) {
        unsigned char const bytes[] = {
            3, 0, 0, 8, 0x80, 0x01, (unsigned char)(n % 64), (unsigned char)(answer ? 0x40 : 0x18)};
        return bytes[at];
    }

    void send(unsigned long count) {
        unsigned used = 0;
        for (; count > 0 && sent_ < total_; --count, ++sent_)
            for (unsigned at = 0; at < 8; ++at) out_[used++] = frameByte(false, sent_, at);
        if (used && ::send(socket_.lowlevel_fd(), out_, used, MSG_NOSIGNAL) != ssize_t(used))
            ++wrong_;
    }

    void on_event(int fd, short revents) {
        if (!(revents & POLLIN)) return;
        ssize_t const got = ::recv(fd, in_, sizeof(in_), MSG_DONTWAIT);
        if (got <= 0) {
            ++wrong_;
            Multiplexer::terminate();
            return;
        }
        unsigned long fresh = 0;
        for (ssize_t i = 0; i < got; ++i) {
            wrong_ += in_[i] != frameByte(true, answered_, at_) ? 1 : 0;
            if (++at_ < 8) continue;
            at_ = 0;
            ++fresh;
            if (++answered_ == warm_) counting = true;
        }
        if (answered_ >= total_) {
            counting = false;
            Multiplexer::terminate();
            return;
        }
        send(fresh);
    }

    Fd const& socket_;
    unsigned long const warm_;
    unsigned long const total_;
    Event event_;
    unsigned char in_[65536];
    unsigned char out_[window * 8];
    unsigned at_ = 0;
    unsigned long sent_ = 0;
    unsigned long answered_ = 0;
    unsigned long wrong_ = 0;
};

}  // namespace

TEST(PingPath, AWarmServerAnswersPingsWithoutAllocating) {
    support::TcpPair pair;
    HeartBeatCtl heartbeat;
    CtrlSrv::Server server;
    server.Bind(&heartbeat);
    auto* link = new support::PairService;
    server.Activate(link);
    link->Connected(pair.local, INet4::Addr(std::string("10.1.2.3:4567")));
    {
        // Warm: the first answers make the kept message, answer and buffers.
        PingDriver driver(pair.peer, 256, 256 + 20000);
        allocations = 0;
        ASSERT_TRUE(support::runLoop(10000));
        EXPECT_EQ(driver.answered(), 256u + 20000u);
        EXPECT_EQ(driver.wrong(), 0u);
        EXPECT_EQ(allocations, 0u) << "allocations while answering 20000 pings";
    }
    EXPECT_TRUE(heartbeat.watching());
    server.Deactivate();
}
