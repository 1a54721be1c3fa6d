// Ping round trips over one controller connection on 127.0.0.1, against the
// server program and against the minimal TPKT echo server (server_echo) in
// both of its modes: writing the frames of one read together, as the server
// does, and writing each frame on its own.
//
// Usage:
//   server_bench [--window N] [--seconds S] [--rounds R] [common options]
//     The three in turn, in fresh processes, for R rounds (default 5) of S
//     seconds each (default 2, after 0.3 s not counted); each round gives
//     the rates, the latencies and the CPU time (user + system) that the
//     serving process spent per answered ping, and the last lines the
//     minimum, median and maximum over the rounds of the ratios server /
//     echo.
//   server_bench --target server|echo|each --pings N [common options]
//     One process of that kind answers N pings; prints its rate and CPU
//     per ping. For timing the whole process from outside.
//   server_bench --drive PORT --pings N --runs K [--root DIR] [--window N]
//     Drives K servers started by someone else, one after the other, on
//     the port: connects (retrying), sends N pings, then ends the server:
//     SIGTERM to the pid written under DIR (the server's MOBREL_ROOT), or
//     closing the connection, which ends the echo server.
// Common options: --window N (pings outstanding, 1 to 64, default 64),
// --echo PATH (default: server_echo beside this program), --board TEXT (the
// simulated board's description for the server, as board.conf lines, when
// not the complete board).
// (bench/server_bench.sh builds and runs it; the server program is the one
// the tests start.)

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "process_cpu.h"
#include "server/tpkt_frame.h"
#include "tests/support/harness.h"

namespace {

using Clock = std::chrono::steady_clock;

// The serving process of the run under way, ended by die().
pid_t serving = -1;

[[noreturn]] void die(std::string const& what) {
    std::fprintf(stderr, "server_bench: %s\n", what.c_str());
    if (serving > 0) ::kill(serving, SIGKILL);
    std::exit(1);
}

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

uint64_t cpu_ns(pid_t pid) {
    uint64_t ns = 0;
    if (!ProcessCpuNs(pid, ns)) die("cannot read the CPU time of process " + std::to_string(pid));
    return ns;
}

// VmRSS of the process, in kB.
long resident_kb(pid_t pid) {
    std::istringstream status(support::readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int connect_to(int port, double bound) {
    Fd socket;
    bool const connected = support::waitFor(
        [&] {
            socket = support::connectTcp(port);
            return socket.is_valid();
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(seconds(bound)));
    if (!connected) die("cannot connect to port " + std::to_string(port));
    int const on = 1;
    ::setsockopt(socket.lowlevel_fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return socket.release();
}

// The frame of { seq s, pdu command : ping : NULL } for s in 0..63.
constexpr unsigned char ping_pdu = 0x18;
// The server's answer { seq s, pdu response : success : NULL }.
constexpr unsigned char success_pdu = 0x40;

void put_ping(std::vector<unsigned char>& out, unsigned seq) {
    unsigned char const message[] = {0x80, 0x01, static_cast<unsigned char>(seq), ping_pdu};
    Tpkt::Header const header = Tpkt::MakeHeader(sizeof(message));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), message, message + sizeof(message));
}

bool is_signal(unsigned char const* payload, std::size_t size) {
    LGCP::Message message;
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    char const* data = reinterpret_cast<char const*>(payload);
    return ASN1::decode(data, data + size, &env, message, true) &&
           message.get_pdu().signal_isSelected();
}

struct Run {
    double rate = 0;  // answered pings per second
    double p50_us = 0;
    double p99_us = 0;
    double cpu_ns = 0;  // per answered ping, of the serving process
    unsigned long pings = 0;
};

double percentile(std::vector<float>& v, double p) {
    if (v.empty()) return 0;
    std::size_t const k = std::min(v.size() - 1, std::size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

// Keeps `window` pings outstanding. Each answer is checked for the expected
// sequence number (answers come in order) and pdu (`answer_pdu`: the
// server's success, or the ping itself from the echo server); signals the
// server sends meanwhile (greeting, trunk states) are skipped. With a
// serving process given, its CPU time is read around what is measured.
class Pinger {
public:
    Pinger(int fd, pid_t server, unsigned char answer_pdu, unsigned window)
        : fd_(fd), server_(server), answer_pdu_(answer_pdu), window_(window), sent_at_(64) {
        in_.resize(1 << 16);
    }

    // After a warm-up, pings for the given time.
    Run timed(double warmup, double duration) {
        send_more(window_);
        for (auto const end = Clock::now() + seconds(warmup); Clock::now() < end;) receive();
        latencies_.reserve(std::size_t(duration * 2e6));
        return measure([&, end = Clock::now() + seconds(duration)] { return Clock::now() < end; });
    }

    // Exactly `pings` pings, all measured.
    Run counted(unsigned long pings) {
        limit_ = pings;
        latencies_.reserve(pings);
        send_more(window_);
        return measure([&] { return answered_ < limit_; });
    }

private:
    template <class While>
    Run measure(While more) {
        latencies_.clear();
        unsigned long const answered = answered_;
        uint64_t const cpu = server_ > 0 ? cpu_ns(server_) : 0;
        auto const start = Clock::now();
        while (more()) receive();
        auto const stop = Clock::now();
        Run r;
        r.pings = answered_ - answered;
        r.rate = double(r.pings) / std::chrono::duration<double>(stop - start).count();
        if (server_ > 0) r.cpu_ns = double(cpu_ns(server_) - cpu) / double(r.pings);
        r.p50_us = percentile(latencies_, 0.50);
        r.p99_us = percentile(latencies_, 0.99);
        // Lets the outstanding pings come back before the connection closes.
        limit_ = sent_;
        while (answered_ < sent_) receive();
        return r;
    }

    void send_more(unsigned long n) {
        out_.clear();
        auto const now = Clock::now();
        for (; n > 0 && sent_ < limit_; --n) {
            sent_at_[sent_ % 64] = now;
            put_ping(out_, unsigned(sent_++ % 64));
        }
        if (!out_.empty() &&
            ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL) != ssize_t(out_.size()))
            die("send");
    }

    // One read; answers it completes are checked and replaced. The buffer
    // holds the bytes from the start of the first frame not yet whole; the
    // reader has consumed `parsed_` of them.
    void receive() {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 5000) <= 0) die("an answer did not come");
        ssize_t const got = ::recv(fd_, in_.data() + held_, in_.size() - held_, 0);
        if (got <= 0) die("the connection closed");
        held_ += std::size_t(got);
        auto const now = Clock::now();
        unsigned fresh = 0;
        std::size_t at = parsed_;
        std::size_t whole = 0;
        for (;;) {
            Tpkt::Reader::Step const step = reader_.next(in_.data() + at, held_ - at);
            at += step.used;
            if (step.bad()) die("an answer that is no TPKT frame");
            if (step.event == Tpkt::Reader::more) break;
            if (step.event == Tpkt::Reader::header) payload_ = at;
            if (step.event != Tpkt::Reader::frame) continue;
            whole = at;
            unsigned char const* payload = in_.data() + payload_;
            std::size_t const size = at - payload_;
            unsigned const seq = unsigned(answered_ % 64);
            if (size == 4 && payload[0] == 0x80 && payload[1] == 0x01 && payload[2] == seq &&
                payload[3] == answer_pdu_) {
                latencies_.push_back(float(
                    std::chrono::duration<double, std::micro>(now - sent_at_[seq]).count()));
                ++answered_;
                ++fresh;
            } else if (!is_signal(payload, size)) {
                die("unexpected answer to ping " + std::to_string(seq));
            }
        }
        std::memmove(in_.data(), in_.data() + whole, held_ - whole);
        held_ -= whole;
        parsed_ = at - whole;
        payload_ -= std::min(payload_, whole);
        send_more(fresh);
    }

    int fd_;
    pid_t server_;
    unsigned char answer_pdu_;
    unsigned window_;
    unsigned long limit_ = ~0ul;  // pings to send in all
    std::vector<Clock::time_point> sent_at_;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    std::size_t held_ = 0;
    std::size_t parsed_ = 0;
    std::size_t payload_ = 0;  // where the payload being read begins
    Tpkt::Reader reader_;
    unsigned long sent_ = 0;
    unsigned long answered_ = 0;
    std::vector<float> latencies_;
};

// The echo server, which prints its port once it listens.
class EchoProcess {
public:
    EchoProcess(std::string const& program, bool each) {
        int fds[2];
        if (::pipe(fds) != 0) die("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            if (each)
                ::execl(program.c_str(), program.c_str(), "--each", nullptr);
            else
                ::execl(program.c_str(), program.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        char line[16] = {};
        ssize_t const got = ::read(fds[0], line, sizeof(line) - 1);
        ::close(fds[0]);
        serving = pid_;
        port_ = got > 0 ? std::atoi(line) : 0;
        if (port_ <= 0) die("the echo server did not start");
    }
    ~EchoProcess() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

private:
    int port_ = 0;
    pid_t pid_ = -1;
};

struct Options {
    std::string echo;
    unsigned window = 64;
    double seconds = 2;
    unsigned rounds = 5;
    std::string board;   // the simulated board's description
    std::string target;  // --target: server, echo or each
    unsigned long pings = 0;
    int drive = 0;  // --drive: the port
    unsigned runs = 1;
    std::string root;
};

constexpr double warmup_seconds = 0.3;

// One run against a fresh serving process: timed, or counted when pings > 0.
Run run(Options const& o, std::string const& target, long* resident = nullptr) {
    auto const ping = [&](int fd, pid_t pid, unsigned char pdu) {
        Pinger pinger(fd, pid, pdu, o.window);
        return o.pings ? pinger.counted(o.pings) : pinger.timed(warmup_seconds, o.seconds);
    };
    if (target == "server") {
        support::ServerProcess process;
        if (!o.board.empty()) {
            ::mkdir((process.root() + "/simboard").c_str(), 0755);
            std::ofstream(process.root() + "/simboard/board.conf") << o.board << "\n";
        }
        if (!process.start()) die("the server did not start");
        serving = process.pid();
        int const fd = connect_to(process.port(), 10);
        Run const r = ping(fd, process.pid(), success_pdu);
        if (resident) *resident = resident_kb(process.pid());
        ::close(fd);
        return r;
    }
    if (target != "echo" && target != "each") die("no target " + target);
    EchoProcess process(o.echo, target == "each");
    int const fd = connect_to(process.port(), 10);
    Run const r = ping(fd, process.pid(), ping_pdu);
    ::close(fd);
    return r;
}

// --drive: K servers started by someone else.
int drive(Options const& o) {
    std::string const pid_file = o.root + "/var/run/server.pid";
    for (unsigned k = 0; k < o.runs; ++k) {
        int const fd = connect_to(o.drive, 120);
        // The server writes its pid file before it listens.
        pid_t const server = o.root.empty() ? 0 : std::atoi(support::readFile(pid_file).c_str());
        Run const r = Pinger(fd, 0, server > 0 ? success_pdu : ping_pdu, o.window).counted(o.pings);
        std::printf("run %u: %lu pings, %.0f round trips/s\n", k + 1, r.pings, r.rate);
        std::fflush(stdout);
        // The echo server ends when the connection closes, the server on
        // SIGTERM; each closes its listening socket on the way out.
        ::shutdown(fd, SHUT_WR);
        if (server > 0) ::kill(server, SIGTERM);
        unsigned char rest[256];
        while (::recv(fd, rest, sizeof(rest), 0) > 0) {
        }
        ::close(fd);
        if (server > 0)
            support::waitFor([&] { return !support::fileExists(pid_file); },
                             std::chrono::seconds(10));
        ::usleep(50000);
    }
    return 0;
}

struct Spread {
    double min, median, max;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::size_t const n = v.size();
    double const median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {v.front(), median, v.back()};
}

void print_spread(char const* what, std::vector<double> const& v, char const* goal) {
    Spread const s = spread(v);
    std::printf("%-44s %6.3f %6.3f %6.3f   %s\n", what, s.min, s.median, s.max, goal);
}

int rounds(Options const& o) {
    std::printf("window %u, %.1f s per run, %u rounds; CPU per ping of the serving process\n",
                o.window, o.seconds, o.rounds);
    std::printf("%5s %12s %12s %12s %9s %9s %9s %9s %9s %9s\n", "round", "mobrel/s", "echo/s",
                "each/s", "p50 us", "echo p50", "cpu ns", "echo ns", "each ns", "rss kB");
    std::vector<double> rate, p50, cpu_each, cpu_echo;
    for (unsigned round = 1; round <= o.rounds; ++round) {
        long resident = 0;
        Run const s = run(o, "server", &resident);
        Run const e = run(o, "echo");
        Run const x = run(o, "each");
        std::printf("%5u %12.0f %12.0f %12.0f %9.1f %9.1f %9.0f %9.0f %9.0f %9ld\n", round,
                    s.rate, e.rate, x.rate, s.p50_us, e.p50_us, s.cpu_ns, e.cpu_ns, x.cpu_ns,
                    resident);
        std::fflush(stdout);
        rate.push_back(s.rate / e.rate);
        p50.push_back(s.p50_us / e.p50_us);
        cpu_echo.push_back(s.cpu_ns / e.cpu_ns);
        cpu_each.push_back(s.cpu_ns / x.cpu_ns);
    }
    std::printf("%-44s %6s %6s %6s\n", "ratio mobrel / echo over the rounds", "min", "median",
                "max");
    bool const pipelined = o.window > 1;
    print_spread("rate / batching echo's", rate,
                 pipelined ? "(goal: at least 0.80)" : "(goal: at least 0.95)");
    print_spread("p50 latency / batching echo's", p50, pipelined ? "" : "(goal: at most 1.05)");
    print_spread("CPU per ping / echo's writing each frame", cpu_each, "(goal: at most 1.10)");
    print_spread("CPU per ping / batching echo's", cpu_echo, "");
    return 0;
}

Options parse(int argc, char** argv) {
    Options o;
    std::string const self = argv[0];
    o.echo = self.substr(0, self.rfind('/') + 1) + "server_echo";
    for (int i = 1; i < argc; ++i) {
        std::string const a = argv[i];
        if (i + 1 >= argc) die("an option without its value: " + a + " (see the source)");
        std::string const v = argv[++i];
        if (a == "--echo") {
            o.echo = v;
        } else if (a == "--window") {
            o.window = unsigned(std::atoi(v.c_str()));
        } else if (a == "--seconds") {
            o.seconds = std::atof(v.c_str());
        } else if (a == "--board") {
            o.board = v;
        } else if (a == "--rounds") {
            o.rounds = unsigned(std::atoi(v.c_str()));
        } else if (a == "--target") {
            o.target = v;
        } else if (a == "--pings") {
            o.pings = std::strtoul(v.c_str(), nullptr, 10);
        } else if (a == "--drive") {
            o.drive = std::atoi(v.c_str());
        } else if (a == "--runs") {
            o.runs = unsigned(std::atoi(v.c_str()));
        } else if (a == "--root") {
            o.root = v;
        } else {
            die("unknown option " + a);
        }
    }
    if (o.window < 1 || o.window > 64) die("the window is 1 to 64 pings");
    if (o.rounds < 1 || o.seconds <= 0) die("at least one round of some time");
    if ((!o.target.empty() || o.drive) && o.pings == 0) die("--target and --drive need --pings");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options const o = parse(argc, argv);
    if (o.drive) return drive(o);
    if (o.target.empty()) return rounds(o);
    Run const r = run(o, o.target);
    std::printf("%s: %lu pings, window %u, %.0f round trips/s, %.0f ns CPU per ping, p50 %.1f us\n",
                o.target.c_str(), r.pings, o.window, r.rate, r.cpu_ns, r.p50_us);
    return 0;
}
