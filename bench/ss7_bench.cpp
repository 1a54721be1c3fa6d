// Two SS7 links back to back through the server program: message units per
// second and server CPU per unit from one PSTN slot's `userData` to the
// other's `userData` signal; the same for two ISDN links (LAPD on a primary
// rate D channel, network side to user side), I-frames per second and CPU
// per I-frame; then pings per second and CPU per ping on the same control
// link, in the same run. The server runs on the simulated board
// (its MCC joins the two links' channels), so the CPU counted includes the
// board's share of carrying each unit, and every pass of the main loop pays
// the switch's refresh of the bus outputs that are off (256 requests to the
// simulated board), which a unit needs several of.
//
// Usage: ss7_bench [--seconds S] [--window N] [--octets N]
//   S seconds of each (default 3, after 0.3 s not counted), N units or pings
//   outstanding (default 32; at most 127 units wait for acknowledgement on an
//   SS7 link, 71 messages on an ISDN link), units and layer-3 messages of N
//   octets (default 30, 3 to 260).
// (bench/ss7_bench.sh builds and runs it.)

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "process_cpu.h"
#include "tests/support/board_tool.h"
#include "tests/support/harness.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace support;

[[noreturn]] void die(std::string const& what) {
    std::fprintf(stderr, "ss7_bench: %s\n", what.c_str());
    std::exit(1);
}

struct Options {
    double seconds = 3;
    unsigned window = 32;
    unsigned octets = 30;
};

LGCP::Message command(int seq, int slot) {
    LGCP::Message message;
    message.set_seq(seq);
    if (slot >= 0) message.set_slot(slot);
    return message;
}

// Sends a command and waits for its answer; signals on the way are dropped.
void ask(Controller& controller, LGCP::Message const& message) {
    controller.sendMessage(message);
    LGCP::Message answer;
    if (!controller.readAnswer(answer)) die("no answer");
    if (!answer.get_pdu().get_response().success_isSelected()) die("a command was refused");
}

void waitActivated(Controller& controller, int count) {
    for (int seen = 0; seen < count;) {
        LGCP::Message message;
        if (!controller.readMessage(message, std::chrono::seconds(10))) die("links not in service");
        if (message.get_pdu().signal_isSelected() &&
            message.get_pdu().get_signal().activated_isSelected())
            ++seen;
    }
}

// A `userData` command of the slot.
void sendUserData(Controller& controller, int seq, int slot, std::vector<char> const& data) {
    LGCP::Message message = command(seq, slot);
    message.set_pdu().select_command().select_userData(data);
    controller.sendMessage(message);
}

// Whether the message is a `userData` signal: one exchange done.
bool userDataArrived(LGCP::Message const& m) {
    if (m.get_pdu().response_isSelected() && !m.get_pdu().get_response().success_isSelected())
        die("a userData command was refused");
    return m.get_pdu().signal_isSelected() && m.get_pdu().get_signal().userData_isSelected();
}

struct Result {
    unsigned long count = 0;
    double rate = 0;
    double cpu_us = 0;
};

// Keeps `window` exchanges outstanding for the time; `send` starts one,
// `done` tells whether a message ends one.
template <class Send, class Done>
Result exchange(Controller& controller, pid_t server, Options const& o, Send send, Done done) {
    unsigned long started = 0, finished = 0;
    auto run_for = [&](double seconds) {
        auto const end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
        while (Clock::now() < end) {
            while (started - finished < o.window) send(int(started++ % 60000));
            LGCP::Message message;
            if (!controller.readMessage(message)) die("the server went quiet");
            if (done(message)) ++finished;
        }
    };
    run_for(0.3);
    unsigned long const before = finished;
    uint64_t cpu0 = 0, cpu1 = 0;
    ProcessCpuNs(server, cpu0);
    auto const start = Clock::now();
    run_for(o.seconds);
    double const elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    ProcessCpuNs(server, cpu1);
    Result r;
    r.count = finished - before;
    r.rate = double(r.count) / elapsed;
    r.cpu_us = double(cpu1 - cpu0) / 1000.0 / double(r.count);
    // What is still outstanding comes back before the next phase.
    while (finished < started) {
        LGCP::Message message;
        if (!controller.readMessage(message)) die("outstanding exchanges lost");
        if (done(message)) ++finished;
    }
    return r;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        double const value = std::atof(argv[i + 1]);
        if (!std::strcmp(argv[i], "--seconds") && value > 0)
            o.seconds = value;
        else if (!std::strcmp(argv[i], "--window") && value >= 1 && value <= 71)
            o.window = unsigned(value);
        else if (!std::strcmp(argv[i], "--octets") && value >= 3 && value <= 260)
            o.octets = unsigned(value);
        else
            die(std::string("bad option ") + argv[i] + " " + argv[i + 1]);
    }
    if (argc % 2 == 0) die("options come in pairs");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    Options const o = parse(argc, argv);
    ServerProcess server;
    // Short normal proving; reports out of the way.
    std::string dir = server.root();
    for (char const* part : {"/usr", "/local", "/etc"}) ::mkdir((dir += part).c_str(), 0755);
    std::ofstream(dir + "/server.conf") << "[signalling]\nss7.t4n = 100\nreport = 3600000\n";
    if (!server.start()) die("the server did not start");
    Controller controller;
    if (!controller.connect(server.port())) die("no control link");
    LGCP::Message greeting;
    controller.readMessage(greeting);

    for (int slot : {1, 2}) {
        LGCP::Message create = command(slot, slot);
        LGCP::SS7Params& ss7 = create.set_pdu().select_command().select_create().select_pstn().select_ss7();
        ss7.set_trunk(slot == 1 ? 16 : 48);
        ss7.set_slc(0);
        ss7.set_dpc(slot);
        ss7.set_opc(3 - slot);
        ss7.set_emergency(false);
        ask(controller, create);
        LGCP::Message activate = command(10 + slot, slot);
        activate.set_pdu().select_command().select_activate().select_empty();
        ask(controller, activate);
    }
    boardTool(server.root(), "mcc join 1024 1025");
    waitActivated(controller, 2);

    std::vector<char> const unit(o.octets, 0x5A);
    Result const units = exchange(
        controller, server.pid(), o,
        [&](int seq) { sendUserData(controller, seq, 1, unit); }, userDataArrived);
    // Two ISDN links, their MCC channels taken at creation.
    for (int slot : {3, 4}) {
        LGCP::Message create = command(slot, slot);
        LGCP::IsdnParams& isdn = create.set_pdu().select_command().select_create().select_isdn();
        isdn.set_type(LGCP::IsdnType::pri);
        isdn.set_trunk(0);
        isdn.set_log(0);
        if (slot == 3)
            isdn.set_side().select_network();
        else
            isdn.set_side().select_user();
        ask(controller, create);
    }
    boardTool(server.root(), "mcc join 1026 1027");
    for (int slot : {3, 4}) {
        LGCP::Message activate = command(10 + slot, slot);
        activate.set_pdu().select_command().select_activate().select_empty();
        ask(controller, activate);
    }
    waitActivated(controller, 2);
    std::vector<char> message(o.octets, 0x5A);
    message[0] = 0x08;
    Result const frames = exchange(
        controller, server.pid(), o,
        [&](int seq) { sendUserData(controller, seq, 3, message); }, userDataArrived);

    Result const pings = exchange(
        controller, server.pid(), o, [&](int seq) { controller.sendMessage(ping(seq)); },
        [](LGCP::Message const& m) { return m.get_pdu().response_isSelected(); });

    std::printf("SS7 back to back: %lu units of %u octets, %.0f units/s, %.1f us CPU per unit\n",
                units.count, o.octets, units.rate, units.cpu_us);
    std::printf("ISDN back to back: %lu I-frames of %u octets, %.0f I-frames/s, %.1f us CPU per "
                "I-frame\n",
                frames.count, o.octets, frames.rate, frames.cpu_us);
    std::printf("same control link: %lu pings, %.0f pings/s, %.1f us CPU per ping\n",
                pings.count, pings.rate, pings.cpu_us);
    std::printf("(window %u, %.1f s each)\n", o.window, o.seconds);
    return 0;
}
