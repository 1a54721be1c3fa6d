#include "runtime/system/async_copy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "tests/support/loop.h"
#include "tests/support/sockets.h"

namespace {

using Status = ASync::Copy::Status;

using support::Pipe;
using support::runLoop;

// Fills a non-blocking pipe until a write would block; the bytes written.
size_t fill(Fd const& writer) {
    static char const block[4096] = {};
    size_t total = 0;
    for (;;) {
        ssize_t const n = ::write(writer.lowlevel_fd(), block, sizeof(block));
        if (n <= 0) return total;
        total += size_t(n);
    }
}

std::string pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = char(i * 7 % 251);
    return text;
}

void put(Fd const& fd, std::string const& text) {
    ASSERT_EQ(::write(fd.lowlevel_fd(), text.data(), text.size()), ssize_t(text.size()));
}

// The owner of a copy: records every status it is told and stops the loop.
struct Owner {
    explicit Owner(ASync::Copy& copy) { copy.Bind(&Owner::OnComplete, this); }
    void OnComplete(Status::Type status) {
        statuses.push_back(status);
        Multiplexer::terminate();
    }
    std::vector<Status::Type> statuses;
};

// Reads whatever arrives on a descriptor inside the loop, and stops the loop
// after each read so that run_until sees the progress.
class Sink {
public:
    explicit Sink(Fd const& fd) {
        event_.Bind("Sink::OnEvent", &Sink::OnEvent, this);
        event_.Schedule(fd, POLLIN);
    }
    void OnEvent(int fd, short revents) {
        if (!(revents & POLLIN)) return;
        char block[8192];
        ssize_t n;
        while ((n = ::read(fd, block, sizeof(block))) > 0) data.append(block, size_t(n));
        Multiplexer::terminate();
    }
    std::string data;

private:
    Event event_;
};

// Runs the loop until done() holds; false when the bound ran out first.
bool run_until(std::function<bool()> const& done, long bound_ms = 5000) {
    auto const started = std::chrono::steady_clock::now();
    while (!done()) {
        long const left = bound_ms - support::elapsedMs(started);
        if (left <= 0 || !runLoop(unsigned(left))) return done();
    }
    return true;
}

// Writes a payload into a pipe inside the loop as fast as the pipe takes it,
// then closes its end (the only writer left).
class Feeder {
public:
    Feeder(Fd writer, std::string payload) : writer_(std::move(writer)), payload_(payload) {
        event_.Bind("Feeder::OnEvent", &Feeder::OnEvent, this);
        event_.Schedule(writer_, POLLOUT);
    }
    void OnEvent(int fd, short revents) {
        if (!(revents & POLLOUT)) return;
        while (done_ < payload_.size()) {
            ssize_t const n = ::write(fd, payload_.data() + done_, payload_.size() - done_);
            if (n <= 0) return;
            done_ += size_t(n);
        }
        event_.Release();
        writer_.close();
    }

private:
    Fd writer_;
    std::string payload_;
    size_t done_ = 0;
    Event event_;
};

class AsyncCopy : public ::testing::Test {
protected:
    // A write to a pipe whose reader is gone must fail with EPIPE, as in the
    // server, instead of ending the test program.
    static void SetUpTestSuite() { ::signal(SIGPIPE, SIG_IGN); }

    static ASync::Copy::EventsParams no_flush() {
        ASync::Copy::EventsParams params;
        params.flush = 0;
        return params;
    }
};

TEST_F(AsyncCopy, CopiesAMegabyteBetweenPipesWhileBothSidesBlock) {
    Pipe in, out;
    std::string const payload = pattern(1 << 20);
    Feeder feeder(std::move(in.writer), payload);
    Sink sink(out.reader);

    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.Start(in.reader, out.writer);
    in.reader.close();
    out.writer.close();
    EXPECT_TRUE(copy.active());

    ASSERT_TRUE(
        run_until([&] { return !owner.statuses.empty() && sink.data.size() >= payload.size(); }));
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(copy.written(), payload.size());
    EXPECT_EQ(sink.data.size(), payload.size());
    EXPECT_TRUE(sink.data == payload);
}

TEST_F(AsyncCopy, CompletesInsideStartWhenTheSourceIsAlreadyAtItsEnd) {
    Pipe in, out;
    put(in.writer, "hello");
    in.writer.close();

    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.Start(in.reader, out.writer);

    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(copy.state(), Status::completed);
    EXPECT_EQ(copy.written(), 5u);
    char text[16] = {};
    EXPECT_EQ(::read(out.reader.lowlevel_fd(), text, sizeof(text)), 5);
    EXPECT_STREQ(text, "hello");
}

TEST_F(AsyncCopy, WaitsForTheFlushEventBeforeReportingCompletion) {
    Pipe in, out;
    in.writer.close();
    size_t const queued = fill(out.writer);

    ASync::Copy copy;
    Owner owner(copy);
    EXPECT_EQ(copy.events().flush, 256u);
    copy.Start(in.reader, out.writer);
    EXPECT_EQ(copy.state(), Status::flushing);
    EXPECT_TRUE(owner.statuses.empty());

    // A full destination never reports POLLWRNORM: the owner hears nothing.
    EXPECT_FALSE(runLoop(100));
    EXPECT_TRUE(owner.statuses.empty());

    std::vector<char> drain(queued);
    ASSERT_EQ(::read(out.reader.lowlevel_fd(), drain.data(), drain.size()), ssize_t(queued));
    ASSERT_TRUE(runLoop());
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
}

TEST_F(AsyncCopy, ReportsAReadErrorAsFailureEvenAfterBytesWereCopied) {
    Fd listener(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(addr);
    ASSERT_EQ(::bind(listener.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), size), 0);
    ASSERT_EQ(::listen(listener.lowlevel_fd(), 1), 0);
    ASSERT_EQ(::getsockname(listener.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), &size), 0);
    Fd peer(::socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_EQ(::connect(peer.lowlevel_fd(), reinterpret_cast<sockaddr*>(&addr), size), 0);
    Fd source(::accept(listener.lowlevel_fd(), nullptr, nullptr));
    ASSERT_TRUE(source.is_valid());

    Pipe out;
    Sink sink(out.reader);
    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.Start(source, out.writer);
    put(peer, "abc");
    ASSERT_TRUE(run_until([&] { return sink.data.size() >= 3; }));
    EXPECT_EQ(sink.data, "abc");
    EXPECT_TRUE(owner.statuses.empty());

    // The peer resets the connection: the stream was cut, not ended.
    linger const reset{1, 0};
    ASSERT_EQ(::setsockopt(peer.lowlevel_fd(), SOL_SOCKET, SO_LINGER, &reset, sizeof(reset)), 0);
    peer.close();
    ASSERT_TRUE(run_until([&] { return !owner.statuses.empty(); }));
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(copy.written(), 3u);
}

TEST_F(AsyncCopy, FailsInsideStartOnAReadErrorOrAnInvalidDescriptor) {
    Pipe out;
    char dir_template[] = "/tmp/mobrel-copy-XXXXXX";
    ASSERT_NE(::mkdtemp(dir_template), nullptr);
    Fd directory(::open(dir_template, O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(directory.is_valid());

    ASync::Copy copy;
    Owner owner(copy);
    copy.Start(directory, out.writer);  // read() gives EISDIR
    copy.Start(Fd(), out.writer);
    copy.Start(out.reader, Fd());
    ::rmdir(dir_template);

    EXPECT_EQ(owner.statuses,
              (std::vector<Status::Type>{Status::failed, Status::failed, Status::failed}));
    EXPECT_EQ(copy.written(), 0u);
}

TEST_F(AsyncCopy, AHangUpOfTheSourceWhileTheDestinationBlocksStillDeliversEverything) {
    Pipe in, out;
    std::string const head(fill(out.writer), '\0');
    std::string const payload = pattern(3000);
    put(in.writer, payload);

    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.Start(in.reader, out.writer);
    EXPECT_EQ(copy.state(), Status::copying);
    in.writer.close();  // the source hangs up while its data waits

    // The source reports POLLHUP on every pass now; the copy must neither
    // spin nor give up, but end once the destination drained.
    EXPECT_FALSE(runLoop(100));
    EXPECT_TRUE(owner.statuses.empty());
    Sink sink(out.reader);
    size_t const expected = head.size() + payload.size();
    ASSERT_TRUE(run_until([&] { return !owner.statuses.empty() && sink.data.size() >= expected; }));
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_TRUE(sink.data == head + payload);
}

// Served before the copy in every pass: when the hang-up of a FIFO is
// pending, a new writer opens it, so that a read after the hang-up blocks
// instead of seeing the end.
struct Reopener {
    Reopener(int reader, std::string const& fifo) : fifo_reader(reader), path(fifo) {
        event.Bind("Reopener::OnEvent", &Reopener::OnEvent, this);
        event.Schedule(idle.reader, 0);
    }
    void OnEvent(int, short) {
        pollfd entry{fifo_reader, POLLIN, 0};
        if (late_writer.is_valid() || ::poll(&entry, 1, 0) != 1) return;
        if (entry.revents & POLLHUP) late_writer = Fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
    }
    int fifo_reader;
    std::string path;
    Fd late_writer;
    Pipe idle;
    Event event;
};

// Copies "tail" from a FIFO whose writer closes, with the data still unread
// at the hang-up or already copied; the statuses the owner heard.
std::vector<Status::Type> copy_through_reopened_fifo(bool data_pending_at_hang_up) {
    char dir_template[] = "/tmp/mobrel-copy-XXXXXX";
    if (::mkdtemp(dir_template) == nullptr) return {};
    std::string const fifo = std::string(dir_template) + "/fifo";
    ::mkfifo(fifo.c_str(), 0600);
    Fd source(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    Fd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    Reopener reopener(source.lowlevel_fd(), fifo);

    Pipe out;
    Sink sink(out.reader);
    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(ASync::Copy::EventsParams{POLLIN, POLLOUT, 0});
    copy.Start(source, out.writer);
    put(writer, "tail");
    if (!data_pending_at_hang_up) run_until([&] { return sink.data.size() >= 4; });
    writer.close();
    run_until([&] { return !owner.statuses.empty() && sink.data.size() >= 4; });

    EXPECT_TRUE(reopener.late_writer.is_valid());
    EXPECT_EQ(sink.data, "tail");
    EXPECT_EQ(copy.written(), 4u);
    ::unlink(fifo.c_str());
    ::rmdir(dir_template);
    return owner.statuses;
}

TEST_F(AsyncCopy, EndsAfterAHangUpEvenWhenAReadWouldThenBlock) {
    EXPECT_EQ(copy_through_reopened_fifo(true), std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(copy_through_reopened_fifo(false), std::vector<Status::Type>{Status::completed});
}

TEST_F(AsyncCopy, ADestinationHangUpWhileDataWaitsFailsOnce) {
    Pipe in, out;
    fill(out.writer);
    put(in.writer, "waiting");

    ASync::Copy copy;
    Owner owner(copy);
    copy.Start(in.reader, out.writer);
    EXPECT_EQ(copy.state(), Status::copying);
    out.reader.close();  // the destination's reader goes away

    ASSERT_TRUE(runLoop());
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed});
    // Nothing of the copy is polled any more; more input changes nothing.
    put(in.writer, "more");
    in.writer.close();
    EXPECT_FALSE(runLoop(50));
    copy.Stop();
    copy.set_bufsize(512);
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::failed});
}

TEST_F(AsyncCopy, SetEventsAndSetBufsizeEndAnActiveCopyAndNothingElse) {
    Pipe in, out;
    ASync::Copy copy;
    Owner owner(copy);

    ASync::Copy::EventsParams params;
    params.flush = 0;
    copy.set_events(params);
    copy.set_bufsize(4096);
    EXPECT_TRUE(owner.statuses.empty());
    EXPECT_EQ(copy.state(), Status::not_started);
    EXPECT_EQ(copy.events().flush, 0u);
    EXPECT_EQ(copy.bufsize(), 4096u);

    copy.Start(in.reader, out.writer);  // waits for input
    EXPECT_EQ(copy.state(), Status::copying);
    copy.set_events(params);
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::reconfigured});
    copy.Start(in.reader, out.writer);
    copy.set_bufsize(2048);
    EXPECT_EQ(owner.statuses,
              (std::vector<Status::Type>{Status::reconfigured, Status::reconfigured}));

    // A new Start begins anew with the buffer it has.
    put(in.writer, "again");
    in.writer.close();
    copy.Start(in.reader, out.writer);
    EXPECT_EQ(owner.statuses.back(), Status::completed);
    EXPECT_EQ(copy.written(), 5u);
    EXPECT_EQ(copy.bufsize(), 2048u);
}

TEST_F(AsyncCopy, ABufferSizeOfZeroFallsBackToTheDefaultInsteadOfEndingAtOnce) {
    Pipe in, out;
    put(in.writer, "data");
    in.writer.close();

    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.set_bufsize(0);
    copy.Start(in.reader, out.writer);
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(copy.written(), 4u);
    EXPECT_EQ(copy.bufsize(), ASync::Copy::default_bufsize);
}

TEST_F(AsyncCopy, StopWritesWhatWasReadThenCompletes) {
    Pipe in, out;
    std::string const head(fill(out.writer), '\0');
    put(in.writer, "read before the stop");

    ASync::Copy copy;
    Owner owner(copy);
    copy.set_events(no_flush());
    copy.Start(in.reader, out.writer);
    copy.Stop();
    EXPECT_EQ(copy.state(), Status::writing_rest);
    put(in.writer, "after");  // the source is no longer read

    Sink sink(out.reader);
    std::string const expected = head + "read before the stop";
    ASSERT_TRUE(
        run_until([&] { return !owner.statuses.empty() && sink.data.size() >= expected.size(); }));
    EXPECT_EQ(owner.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_TRUE(sink.data == expected);
}

TEST_F(AsyncCopy, AnOwnerMayDestroyTheCopyInsideTheCallback) {
    struct SelfDestroying {
        void OnComplete(Status::Type status) {
            statuses.push_back(status);
            copy.reset();
            Multiplexer::terminate();
        }
        std::unique_ptr<ASync::Copy> copy = std::make_unique<ASync::Copy>();
        std::vector<Status::Type> statuses;
    };

    // Inside Start: the source is at its end.
    Pipe first_in, first_out;
    first_in.writer.close();
    SelfDestroying at_start;
    at_start.copy->Bind(&SelfDestroying::OnComplete, &at_start);
    at_start.copy->set_events(no_flush());
    at_start.copy->Start(first_in.reader, first_out.writer);
    EXPECT_EQ(at_start.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(at_start.copy, nullptr);

    // From the destination's event: its reader went away.
    Pipe in, out;
    fill(out.writer);
    put(in.writer, "x");
    SelfDestroying in_loop;
    in_loop.copy->Bind(&SelfDestroying::OnComplete, &in_loop);
    in_loop.copy->Start(in.reader, out.writer);
    out.reader.close();
    ASSERT_TRUE(runLoop());
    EXPECT_EQ(in_loop.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(in_loop.copy, nullptr);
}

TEST_F(AsyncCopy, DestroyingAnActiveCopyTellsNobodyAndLeavesTheLoop) {
    Pipe in, out;
    std::vector<Status::Type> statuses;
    {
        ASync::Copy copy;
        Owner owner(copy);
        copy.Start(in.reader, out.writer);
        EXPECT_EQ(copy.state(), Status::copying);
        statuses = owner.statuses;
    }
    EXPECT_TRUE(statuses.empty());
    put(in.writer, "late");
    EXPECT_FALSE(runLoop(50));  // nothing polls a destroyed copy's events
    char text[8] = {};
    EXPECT_EQ(::read(in.reader.lowlevel_fd(), text, sizeof(text)), 4);
}

}  // namespace
