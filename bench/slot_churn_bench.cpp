// Slot churn over one controller connection on 127.0.0.1: cycles of create,
// connect to a trunk slot and destroy, for RTP slots and for map slots,
// against the server program, beside ping round trips on the same link in
// the same run. One command is outstanding at a time (a cycle is three
// round trips, a ping one).
//
// Usage: slot_churn_bench [--seconds S] [--rounds R]
//   R rounds (default 3), each a fresh server with trunk slot 1 made, then
//   S seconds (default 2) of each in turn: pings, RTP cycles, map cycles.
//   Prints each round's rates and the ratio of each cycle rate to the ping
//   rate, and last the median ratios over the rounds.
// (bench/slot_churn_bench.sh builds and runs it; the server program is the
// one the tests start.)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/harness.h"
#include "tests/support/sockets.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void die(std::string const& what) {
    std::fprintf(stderr, "slot_churn_bench: %s\n", what.c_str());
    std::exit(1);
}

support::Bytes frameOf(std::string const& text) {
    LGCP::Message message;
    if (!message.setFromValueNotation(text)) die("cannot read: " + text);
    return support::frame(support::encode(message));
}

// Sends one command and waits for its answer (signals are passed over).
void command(support::Controller& controller, support::Bytes const& frame) {
    controller.send(frame);
    LGCP::Message answer;
    if (!controller.readAnswer(answer)) die("an answer did not come");
    if (!answer.get_pdu().get_response().success_isSelected())
        die("a command failed: " + answer.asValueNotation());
}

// Runs the step for the time; steps per second.
double rate(double seconds, std::function<void()> const& step) {
    unsigned long n = 0;
    auto const start = Clock::now();
    auto const end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    do {
        step();
        ++n;
    } while (Clock::now() < end);
    return double(n) / std::chrono::duration<double>(Clock::now() - start).count();
}

struct Round {
    double ping, rtp, map;
};

Round round(double seconds) {
    support::ServerProcess server;
    if (!server.start()) die("the server did not start");
    support::Controller controller;
    if (!controller.connect(server.port())) die("cannot connect");
    // The stream's RTCP reports go to a peer that takes them.
    int const remote = support::freeUdpPair(), local = support::freeUdpPair();
    support::UdpPeer const peer(remote + 1);
    if (!remote || !local || !peer.bound()) die("no free UDP ports");

    command(controller,
            frameOf("{ seq 1, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }"));
    support::Bytes const ping = frameOf("{ seq 2, pdu command : ping : NULL }");
    support::Bytes const rtp = frameOf(
        "{ seq 3, slot 9, pdu command : create : rtp : { codecRTP { payload ptG729, dhost { "
        "iaddr \"127.0.0.1\", port " +
        std::to_string(remote) + " }, shost { iaddr \"127.0.0.1\", port " + std::to_string(local) +
        " } }, txPayload ptG729, rxPayload ptG729 } }");
    support::Bytes const map = frameOf(
        "{ seq 4, slot 9, pdu command : create : map : { transmitter { bus 2, channel 5 }, "
        "receiver { bus 0, channel 3 } } }");
    support::Bytes const connect = frameOf("{ seq 5, slot 9, pdu command : connect : 1 }");
    support::Bytes const destroy = frameOf("{ seq 6, slot 9, pdu command : destroy : NULL }");
    auto const cycle = [&](support::Bytes const& create) {
        return [&] {
            command(controller, create);
            command(controller, connect);
            command(controller, destroy);
        };
    };
    // A moment of each first, not counted.
    rate(0.2, [&] { command(controller, ping); });
    rate(0.2, cycle(rtp));
    rate(0.2, cycle(map));
    Round r;
    r.ping = rate(seconds, [&] { command(controller, ping); });
    r.rtp = rate(seconds, cycle(rtp));
    r.map = rate(seconds, cycle(map));
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t const n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2;
    unsigned rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = unsigned(std::atoi(argv[i + 1]));
        else
            die(std::string("no option ") + argv[i]);
    }
    if (seconds <= 0 || rounds == 0) die("--seconds and --rounds want positive numbers");
    std::printf("%.1f s of each per round; one command outstanding\n", seconds);
    std::printf("%5s %10s %10s %10s %10s %10s\n", "round", "pings/s", "rtp cyc/s", "map cyc/s",
                "rtp/ping", "map/ping");
    std::vector<double> rtp, map;
    for (unsigned n = 1; n <= rounds; ++n) {
        Round const r = round(seconds);
        rtp.push_back(r.rtp / r.ping);
        map.push_back(r.map / r.ping);
        std::printf("%5u %10.0f %10.0f %10.0f %10.3f %10.3f\n", n, r.ping, r.rtp, r.map, rtp.back(),
                    map.back());
        std::fflush(stdout);
    }
    std::printf("median ratio to the ping rate: rtp %.3f, map %.3f\n", median(rtp), median(map));
    return 0;
}
