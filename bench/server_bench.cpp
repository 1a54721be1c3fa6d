// Pipelined ping round trips over one controller connection on 127.0.0.1,
// with 64 pings outstanding, against the server program and against the
// minimal TPKT echo server (server_echo) in the same run; prints both rates,
// their ratio, and the server's resident memory when started, idle and
// connected, and after the load.
//
// Usage: server_bench <server_echo> [seconds per run, default 3]
// (bench/server_bench.sh finds the echo server in a build directory; the
// server program is the one the tests start.)

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "server/tpkt_frame.h"
#include "tests/support/harness.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned window = 64;

[[noreturn]] void die(std::string const& what) {
    std::fprintf(stderr, "server_bench: %s\n", what.c_str());
    std::exit(1);
}

// VmRSS of the process, in kB.
long resident_kb(pid_t pid) {
    std::istringstream status(support::readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int connect_to(int port) {
    Fd socket;
    bool const connected = support::waitFor(
        [&] {
            socket = support::connectTcp(port);
            return socket.is_valid();
        },
        std::chrono::seconds(10));
    if (!connected) die("cannot connect to port " + std::to_string(port));
    int const on = 1;
    ::setsockopt(socket.lowlevel_fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return socket.release();
}

// The frame of a ping with sequence number seq (0..63): the aligned-PER
// message { seq s, pdu command : ping : NULL } in a TPKT frame.
void put_ping(std::vector<unsigned char>& out, unsigned seq) {
    unsigned char const message[] = {0x80, 0x01, static_cast<unsigned char>(seq), 0x18};
    Tpkt::Header const header = Tpkt::MakeHeader(sizeof(message));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), message, message + sizeof(message));
}

// Reads frames off one connection.
class Reader {
public:
    explicit Reader(int fd) : fd_(fd) {}

    // Waits (at most 5 s) for more bytes; false when none came.
    bool fill() {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0) return false;
        unsigned char buffer[65536];
        ssize_t const got = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (got <= 0) return false;
        frames_.feed(buffer, size_t(got));
        return true;
    }
    // The next whole frame's payload, valid until the next call; null when
    // none is whole.
    Tpkt::Bytes const* next() {
        Tpkt::Bytes const* payload = frames_.next();
        if (frames_.takeSkipped() > 0) die("an answer that is no TPKT frame");
        return payload;
    }

private:
    int fd_;
    Tpkt::Frames frames_;
};

struct Result {
    double rate = 0;
    unsigned long round_trips = 0;
};

// Keeps `window` pings outstanding for the given time; each answer is checked
// for the expected sequence number (answers come in order) and the expected
// pdu byte, and replaced by a new ping. Greeting frames are skipped first.
Result ping_pipeline(int fd, unsigned greetings, unsigned char pdu_byte, double seconds) {
    Reader reader(fd);
    for (unsigned left = greetings; left > 0;) {
        if (reader.next()) {
            --left;
        } else if (!reader.fill()) {
            die("no greeting");
        }
    }
    std::vector<unsigned char> out;
    unsigned sent = 0;
    for (; sent < window; ++sent) put_ping(out, sent % window);
    if (::send(fd, out.data(), out.size(), MSG_NOSIGNAL) != ssize_t(out.size())) die("send");

    Result result;
    unsigned long answered = 0;
    auto const start = Clock::now();
    auto const end = start + std::chrono::duration<double>(seconds);
    bool sending = true;
    while (answered < sent) {
        if (!reader.fill()) die("an answer did not come");
        out.clear();
        while (Tpkt::Bytes const* answer = reader.next()) {
            unsigned const seq = unsigned(answered % window);
            Tpkt::Bytes const& payload = *answer;
            if (payload.size() != 4 || payload[0] != 0x80 || payload[1] != 0x01 ||
                payload[2] != seq || payload[3] != pdu_byte)
                die("unexpected answer to ping " + std::to_string(seq));
            ++answered;
            if (sending) put_ping(out, sent++ % window);
        }
        if (sending && Clock::now() >= end) {
            sending = false;
            result.round_trips = answered;
            result.rate =
                double(answered) / std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (!out.empty() && ::send(fd, out.data(), out.size(), MSG_NOSIGNAL) != ssize_t(out.size()))
            die("send");
    }
    return result;
}

// The echo server, which prints its port once it listens.
class EchoProcess {
public:
    explicit EchoProcess(std::string const& program) {
        int fds[2];
        if (::pipe(fds) != 0) die("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        char line[16] = {};
        ssize_t const got = ::read(fds[0], line, sizeof(line) - 1);
        ::close(fds[0]);
        port_ = got > 0 ? std::atoi(line) : 0;
        if (port_ <= 0) die("the echo server did not start");
    }
    ~EchoProcess() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    int port() const { return port_; }

private:
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: server_bench <server_echo> [seconds]\n");
        return 2;
    }
    double const seconds = argc > 2 ? std::atof(argv[2]) : 3.0;

    Result server;
    {
        support::ServerProcess process;
        if (!process.start()) die("the server did not start");
        long const started = resident_kb(process.pid());
        int const fd = connect_to(process.port());
        // The success answer: { seq s, pdu response : success : NULL }; the
        // power signal greets a new controller.
        server = ping_pipeline(fd, 1, 0x40, 0.2);  // warm-up
        long const connected = resident_kb(process.pid());
        server = ping_pipeline(fd, 0, 0x40, seconds);
        long const loaded = resident_kb(process.pid());
        ::close(fd);
        std::printf(
            "server resident memory: %ld kB started, %ld kB after the first pings, "
            "%ld kB after the load\n",
            started, connected, loaded);
    }
    Result echo;
    {
        EchoProcess process(argv[1]);
        int const fd = connect_to(process.port());
        echo = ping_pipeline(fd, 0, 0x18, seconds);
        ::close(fd);
    }
    std::printf("mobrel ping:      %10.0f round trips/s (%lu in %.1f s, window %u)\n", server.rate,
                server.round_trips, seconds, window);
    std::printf("TPKT echo server: %10.0f round trips/s (%lu in %.1f s, window %u)\n", echo.rate,
                echo.round_trips, seconds, window);
    std::printf("ratio mobrel/echo: %.2f (goal: at least 0.50)\n", server.rate / echo.rate);
    return 0;
}
