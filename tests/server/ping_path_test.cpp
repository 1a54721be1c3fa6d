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
#include "server/tpkt_frame.h"
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
// `window` pings with sequence numbers 0 to 63 outstanding, checks that each
// answer is the success for the oldest one, counts allocations between the
// answer `warm` and the answer `total`, then stops the loop.
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
    void send(unsigned long count) {
        unsigned used = 0;
        for (; count > 0 && sent_ < total_; --count, ++sent_) {
            unsigned char const ping[] = {3, 0, 0, 8, 0x80, 0x01,
                                          static_cast<unsigned char>(sent_ % 64), 0x18};
            for (unsigned char b : ping) out_[used++] = b;
        }
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
        for (std::size_t at = 0; at < std::size_t(got);) {
            Tpkt::Reader::Step const step = reader_.next(in_ + at, std::size_t(got) - at);
            at += step.used;
            if (step.event == Tpkt::Reader::header) payload_ = 0;
            if (step.event != Tpkt::Reader::payload && step.event != Tpkt::Reader::frame) continue;
            for (std::size_t i = 0; i < step.size && payload_ < sizeof(answer_); ++i)
                answer_[payload_++] = step.data[i];
            if (step.event != Tpkt::Reader::frame) continue;
            unsigned char const expected[] = {0x80, 0x01,
                                              static_cast<unsigned char>(answered_ % 64), 0x40};
            bool const right = payload_ == 4 && std::equal(expected, expected + 4, answer_);
            wrong_ += right ? 0 : 1;
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
    Tpkt::Reader reader_;
    unsigned char in_[65536];
    unsigned char out_[window * 8];
    unsigned char answer_[16];
    std::size_t payload_ = 0;
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
