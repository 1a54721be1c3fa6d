#pragma once
// Helpers for tests that run the real main loop: capturing a standard
// stream, a private MOBREL_ROOT, pipes, a callback-recording client, and
// running the loop with an upper bound so that a fault ends the test instead
// of hanging it.

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/loop/multiplexer.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"

namespace loop_test {

// Collects what is written to a standard stream while it lives.
class StreamCapture {
public:
    explicit StreamCapture(std::ostream& os) : os_(os), saved_(os.rdbuf(buffer_.rdbuf())) {}
    StreamCapture(StreamCapture const&) = delete;
    ~StreamCapture() { os_.rdbuf(saved_); }
    std::string text() const { return buffer_.str(); }

private:
    std::ostream& os_;
    std::ostringstream buffer_;
    std::streambuf* saved_;
};

// A temporary directory set as MOBREL_ROOT while it lives.
class TempRoot {
public:
    TempRoot() {
        char pattern[] = "/tmp/mobrel-loop-XXXXXX";
        path_ = ::mkdtemp(pattern);
        ::setenv("MOBREL_ROOT", path_.c_str(), 1);
    }
    TempRoot(TempRoot const&) = delete;
    ~TempRoot() {
        ::unsetenv("MOBREL_ROOT");
        ::nftw(
            path_.c_str(), [](char const* p, struct stat const*, int, FTW*) { return ::remove(p); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    std::string const& path() const { return path_; }
    // Creates the directories of a path below the root ("dev/misc").
    std::string mkdirs(std::string const& relative) const {
        std::string current = path_;
        std::istringstream parts(relative);
        for (std::string part; std::getline(parts, part, '/');) {
            current += "/" + part;
            ::mkdir(current.c_str(), 0755);
        }
        return current;
    }

private:
    std::string path_;
};

struct Pipe {
    Pipe() {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            reader = Fd(fds[0]);
            writer = Fd(fds[1]);
        }
    }
    void put(char const* text) const {
        ssize_t const n = ::write(writer.lowlevel_fd(), text, std::char_traits<char>::length(text));
        (void)n;
    }
    Fd reader;
    Fd writer;
};

// An Event whose callback records every call and then runs an optional step.
class Client {
public:
    struct Call {
        int fd;
        short revents;
    };

    explicit Client(std::string const& name = "Client::OnEvent") {
        event.Bind(name, &Client::OnEvent, this);
    }
    void OnEvent(int fd, short revents) {
        calls.push_back({fd, revents});
        if (step) step(fd, revents);
    }

    Event event;
    std::vector<Call> calls;
    std::function<void(int, short)> step;
};

// Stops the loop after bound_ms when nothing else did.
class Deadline {
public:
    explicit Deadline(unsigned bound_ms) { timer_.set(bound_ms, &Deadline::expire, this); }
    void expire() {
        expired = true;
        Multiplexer::terminate();
    }
    bool expired = false;

private:
    Timer timer_;
};

// Runs the loop (no watchdog, fresh clock) until a stop; false when the bound
// had to stop it.
inline bool run_loop(unsigned bound_ms = 5000) {
    Deadline deadline(bound_ms);
    Multiplexer::instance().run(false, true);
    return !deadline.expired;
}

inline long elapsed_ms(std::chrono::steady_clock::time_point since) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - since)
                    .count());
}

}  // namespace loop_test
