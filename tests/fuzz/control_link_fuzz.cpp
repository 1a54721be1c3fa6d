// libFuzzer target of the control link. Each input is a byte stream as the
// controller's socket would deliver it: it passes the stream layer and TPKT
// reassembly of a real control connection (one end of a socket pair), the
// control server decodes and dispatches every frame to the services that the
// program binds, and the answers are written back to the other end, where
// they are read and checked.
//
// Input: the first byte is the size of the pieces the rest is written in, one
// piece per read of the server (0: everything at once); the rest is the
// stream. A piece is read completely before the next one is written, so the
// same input always takes the same path.
//
// Every input starts on a fresh connection and ends with the link torn down.
// The run fails (abort) when an answer is not a well-formed frame holding a
// message that decodes, when a packet buffer is still taken afterwards, when
// a timer of the input is still armed, a slot still lives or a bus output of
// the switch is still connected. MOBREL_FUZZ_VERBOSE=1 keeps the
// server's log lines, which are discarded otherwise, and prints every answer.

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

#include "asn1/asn1.h"
#include "messages/lgcp/lgcp.h"
#include "hardware/hw_mux.h"
#include "program/services.h"
#include "runtime/containers/packet.h"
#include "runtime/loop/child_wait.h"
#include "runtime/loop/dpc.h"
#include "runtime/loop/multiplexer.h"
#include "runtime/system/fd.h"
#include "runtime/system/inet.h"
#include "server/acceptor_net.h"
#include "server/ctrl_server.h"
#include "server/tpkt_frame.h"
#include "slots/modem_factory.h"
#include "slots/slots.h"
#include "tests/support/private_network.h"

namespace {

bool verbose = false;

[[noreturn]] void fail(char const* what) {
    std::fprintf(stderr, "control link fuzz: %s\n", what);
    std::abort();
}

// Swallows the log lines of millions of bad frames; formatting them still runs.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(char const*, std::streamsize n) override { return n; }
};

// The controller connection, made over one end of a socket pair.
class PairLink : public Control::ServiceNet {
public:
    PairLink() { debug(false); }
    bool ImplActivate() override { return true; }
    void ImplDeactivate() override { Release(); }
    void ImplOnDisconnect() override {}
};

// The controller's end: writes the stream, reads and checks the answers.
class Controller {
public:
    explicit Controller(Fd peer) : peer_(std::move(peer)) { NonBlockMode(peer_.lowlevel_fd()); }

    // Writes as much of the bytes as the socket takes; how many it took.
    size_t write(uint8_t const* data, size_t size) const {
        ssize_t const done = ::send(peer_.lowlevel_fd(), data, size, MSG_NOSIGNAL);
        return done > 0 ? size_t(done) : 0;
    }

    // Reads every answer that is waiting and checks each whole frame.
    void drain() {
        uint8_t buffer[16384];
        for (;;) {
            ssize_t const got = ::recv(peer_.lowlevel_fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
            if (got <= 0) break;
            answers_.feed(buffer, size_t(got));
        }
        while (auto const payload = answers_.next()) {
            if (answers_.takeSkipped() > 0) fail("an answer without a TPKT header");
            if (payload->empty()) fail("an answer with an empty TPKT payload");
            check_message(reinterpret_cast<char const*>(payload->data()), payload->size());
        }
        if (answers_.takeSkipped() > 0) fail("an answer without a TPKT header");
    }

    // Bytes of an answer begun but not finished.
    bool partial() const { return answers_.pending() > 0; }

private:
    static void check_message(char const* data, size_t length) {
        LGCP::Message message;
        ASN1::CoderEnv env;
        env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
        if (!ASN1::decode(data, data + length, &env, message, true))
            fail("the server sent a message that does not decode");
        if (message.get_pdu().command_isSelected()) fail("the server sent a command");
        if (verbose) std::fprintf(stderr, "answer: %s\n", message.asValueNotation().c_str());
    }

    Fd peer_;
    Tpkt::Frames answers_;
};

// Runs the main loop until the server has read everything written to it (or
// lost its connection, and heard of that), reading the answers on each pass.
class Settle {
public:
    Settle(Control::Service& link, Fd const& local, Controller& controller)
        : link_(link), local_(local), controller_(controller) {
        check_.Bind(this, &Settle::check);
    }

    void run() {
        check_.Activate();
        Multiplexer::instance().run(false, true);
        check_.Deactivate();
        controller_.drain();
    }

private:
    void check() {
        controller_.drain();
        if (link_.GetState() == Control::Service::State::Deactivating) return;
        int unread = 0;
        if (link_.IsConnected() && ::ioctl(local_.lowlevel_fd(), FIONREAD, &unread) == 0 &&
            unread > 0)
            return;
        Multiplexer::terminate();
    }

    Control::Service& link_;
    Fd const& local_;
    Controller& controller_;
    Dpc check_;
};

uint32_t timers_at_rest = 0;

// One controller connection: the stream written in pieces of `piece` bytes,
// each read completely before the next, then the link torn down.
void RunConnection(uint8_t const* data, size_t size, size_t piece) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) fail("no socket pair");
    Fd local(fds[0]);
    Controller controller{Fd(fds[1])};
    {
        auto* link = new PairLink;
        ctrlServer.Activate(link);
        link->Connected(local, INet4::Addr(std::string("10.1.2.3:4567")));
        Settle settle(*link, local, controller);
        settle.run();  // the greeting signals
        for (size_t at = 0; at < size && link->IsConnected();) {
            size_t const want = std::min(piece, size - at);
            size_t const took = controller.write(data + at, want);
            if (took == 0) fail("the server's socket took nothing");
            at += took;
            settle.run();
        }
    }
    ctrlServer.Deactivate();
    controller.drain();
    if (controller.partial()) fail("an answer was cut short");
}

// The server's side of the target, made by the first input. Under -fork or
// -jobs libFuzzer's parent process calls LLVMFuzzerInitialize too, but runs
// no input: it must not reap children (its own waits for the processes it
// runs would lose their exits, and it would count crashes that never
// happened), nor start services, open devices or take a network.
void StartServer() {
    static bool started = false;
    if (started) return;
    started = true;

    if (!verbose) {
        static NullBuffer null_buffer;
        std::clog.rdbuf(&null_buffer);
        std::cerr.rdbuf(&null_buffer);
    }
    // Fixed paths (the simulated board's among them) go to a private root.
    static char root[] = "/tmp/mobrel-fuzz-XXXXXX";
    if (!mkdtemp(root)) fail("no temporary root");
    setenv("MOBREL_ROOT", root, 1);
    // The simulated board keeps its device files and control socket there.
    std::atexit([] {
        int const rc = std::system((std::string("rm -rf '") + root + "'").c_str());
        (void)rc;
    });

    // A network of its own: RTP slots send their RTCP reports to whatever
    // address an input names, which must never leave this machine; and the
    // PPP helper port is then the target's own, so the helper listener binds
    // at once and arms no retry that a later input would find gone.
    if (!support::privateNetwork())
        fail("this host gives no private network namespace (run as root, or allow user "
             "namespaces): the slots an input creates would send datagrams to the "
             "addresses it names");

    // The services of the program, in its dispatch order.
    IniFile::File no_configuration;
    StartServices(no_configuration);
    // Every input ends with a disconnection; it need not wait for slots
    // that finish later (none here do).
    Slots::instance().set_release_pause(0);
    // Slots may start child programs; their exits are reaped as in the
    // program, in this process only, where the server's loop runs.
    ChildWait::Activate();
    // The first connection starts the timers that run until exit (the E1
    // trunks' status round); what is armed after it is the rest.
    RunConnection(nullptr, 0, 1);
    timers_at_rest = Multiplexer::instance().timers_count();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char const* const verbose_switch = std::getenv("MOBREL_FUZZ_VERBOSE");
    verbose = verbose_switch && std::string(verbose_switch) == "1";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    StartServer();
    if (size == 0) return 0;
    size_t const piece = data[0] == 0 ? size : data[0];
    ++data;
    --size;

    RunConnection(data, size, piece);

    if (Packet::free_buffers() != Packet::pool_size) fail("a packet buffer was not given back");
    if (Multiplexer::instance().timers_count() != timers_at_rest) fail("a timer is still armed");
    if (!Slots::instance().created().empty()) fail("a slot outlived the connection");
    for (int i = 0; i < HwMux::bus_outputs; ++i)
        if (HwMux::instance().output(i) < HwMux::constant)
            fail("a bus output is still connected after every slot went");
    return 0;
}
