// The slot model and the slot service in-process: which slot drives the
// switch, what a connect leaves behind when it fails, and the slots that
// finish their destruction later.

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "tests/support/loop.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"
#include "server/acceptor_net.h"
#include "server/tpkt.h"
#include "slots/slot_factory.h"
#include "slots/slots.h"

namespace {

std::vector<std::string> calls;

// A slot that notes every switch and stream hook instead of acting.
class Recording : public Slot {
public:
    Recording(char const* name, int priority = 0) : name_(name), priority_(priority) {}
    char const* GetName() const override { return name_; }
    int GetConnectionPriority() override { return priority_; }
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    void IOnOutputRelease() override { calls.push_back(std::string(name_) + " output released"); }
    void IOnInputRelease() override { calls.push_back(std::string(name_) + " input released"); }
    bool IHwConnectTransmitter(Slot& d) override { return note("connects its output to", d); }
    bool IHwConnectReceiver(Slot& s) override { return note("connects its input to", s); }
    bool IHwDisconnectTransmitter(Slot& d) override { return note("disconnects its output from", d); }
    bool IHwDisconnectReceiver(Slot& s) override { return note("disconnects its input from", s); }

    bool refuse = false;

private:
    bool note(char const* what, Slot& other) {
        calls.push_back(std::string(name_) + " " + what + " " + other.GetName());
        return !refuse;
    }
    char const* name_;
    int priority_;
};

// Signals of unbound slots are refused with a line; keep those out of view.
struct Quiet {
    support::StreamCapture errors{std::cerr};
};

}  // namespace

TEST(SlotModel, TheSlotWithTheHigherPriorityDrivesTheSwitch) {
    struct Case {
        int source_priority;
        int destination_priority;
        char const* connect;
        char const* disconnect;
    } const cases[] = {
        {0, 0, "dst connects its input to src", "src disconnects its output from dst"},
        {1, 0, "src connects its output to dst", "src disconnects its output from dst"},
        {0, 1, "dst connects its input to src", "dst disconnects its input from src"},
        {1, 1, "dst connects its input to src", "src disconnects its output from dst"},
    };
    Quiet quiet;
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.source_priority) + " " +
                     std::to_string(c.destination_priority));
        Recording source("src", c.source_priority), destination("dst", c.destination_priority);
        calls.clear();
        ASSERT_TRUE(Connect(source, destination));
        EXPECT_EQ(calls, std::vector<std::string>{c.connect});
        calls.clear();
        ASSERT_TRUE(Disconnect(destination));
        EXPECT_EQ(calls, (std::vector<std::string>{c.disconnect, "dst input released",
                                                   "src output released"}));
        EXPECT_EQ(destination.source(), nullptr);
        EXPECT_TRUE(source.consumers().empty());
    }
}

TEST(SlotModel, ADestinationMovesToANewSourceAndTheOldOneIsReleased) {
    Quiet quiet;
    Recording a("a"), b("b"), d("d"), e("e");
    ASSERT_TRUE(Connect(a, d));
    ASSERT_TRUE(Connect(a, e));
    EXPECT_EQ(a.consumers().size(), 2u);
    calls.clear();
    EXPECT_TRUE(Connect(a, d));  // already its source: nothing happens
    EXPECT_TRUE(calls.empty());

    ASSERT_TRUE(Connect(b, d));
    EXPECT_EQ(calls, (std::vector<std::string>{"a disconnects its output from d",
                                               "d connects its input to b"}));
    ASSERT_TRUE(Connect(b, e));
    EXPECT_EQ(calls.back(), "a output released");
    EXPECT_EQ(d.source(), &b);
    EXPECT_EQ(b.consumers().size(), 2u);
    EXPECT_TRUE(a.consumers().empty());
}

TEST(SlotModel, AFailedConnectPutsTheOldPathBack) {
    Quiet quiet;
    Recording a("a"), b("b"), d("d");
    ASSERT_TRUE(Connect(a, d));
    calls.clear();
    d.refuse = true;
    EXPECT_FALSE(Connect(b, d));
    EXPECT_EQ(calls, (std::vector<std::string>{"a disconnects its output from d",
                                               "d connects its input to b",
                                               "b output released",
                                               "d connects its input to a"}));
    EXPECT_EQ(d.source(), &a);
    EXPECT_TRUE(b.consumers().empty());
}

namespace {

// A slot that finishes its destruction only when told, and its factory,
// which takes the spi-tdm alternative that no slot family of the server does.
class Lingering : public Slot {
public:
    char const* GetName() const override { return "lingering"; }
    bool IBeforeDestroy() override { return false; }
};

class LingeringFactory : public SlotFactory {
public:
    char const* GetName() const override { return "Lingering"; }
    Slot* INewSlot(LGCP::CreateParams const& params) override {
        return params.spi_tdm_isSelected() ? new Lingering : nullptr;
    }
    void Query(LGCP::Resources& resources) override { resources.set_lin16(16); }
};

LingeringFactory lingering;

class PairLink : public Control::ServiceNet {
public:
    PairLink() { debug(false); }
    bool ImplActivate() override { return true; }
    void ImplDeactivate() override { Release(); }
    void ImplOnDisconnect() override {}
};

// The slot service bound to a control server on a socket pair.
struct Bench {
    Bench() {
        server.Bind(&Slots::instance());
        Slots::instance().set_release_pause(0);
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        Fd const local(fds[0]);
        peer = Fd(fds[1]);
        auto* link = new PairLink;
        server.Activate(link);
        link->Connected(local, INet4::Addr(std::string("10.0.0.1:1")));
    }
    // Sends the command; the messages that come back, in value notation.
    std::vector<std::string> send(std::string const& text) {
        LGCP::Message message;
        EXPECT_TRUE(message.setFromValueNotation(text)) << text;
        std::vector<char> octets;
        ASN1::CoderEnv env;
        env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
        ASN1::encode(message, &env, std::back_inserter(octets));
        std::string frame = {3, 0, char((octets.size() + 4) >> 8), char(octets.size() + 4)};
        frame.append(octets.begin(), octets.end());
        EXPECT_EQ(::send(peer.lowlevel_fd(), frame.data(), frame.size(), 0), ssize_t(frame.size()));
        return received(200);
    }
    std::vector<std::string> received(unsigned wait_ms) {
        support::runUntil([] { return false; }, wait_ms);
        std::vector<std::string> out;
        char buffer[65536];
        ssize_t const got = ::recv(peer.lowlevel_fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
        for (ssize_t at = 0; got > 0 && at + 4 <= got;) {
            size_t const length = size_t(uint8_t(buffer[at + 2])) << 8 | uint8_t(buffer[at + 3]);
            LGCP::Message message;
            ASN1::CoderEnv env;
            env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
            ASN1::decode(buffer + at + 4, buffer + at + length, &env, message, true);
            std::string text;
            std::istringstream words(message.asValueNotation());
            for (std::string w; words >> w;) text += (text.empty() ? "" : " ") + w;
            out.push_back(text);
            at += ssize_t(length);
        }
        return out;
    }
    CtrlSrv::Server server;
    Fd peer;
};

using Texts = std::vector<std::string>;

}  // namespace

TEST(SlotService, ASlotThatFinishesLaterIsAnsweredWhenItHasFinished) {
    Bench bench;
    Texts const busy = {"{ seq 3, slot 5, pdu response : error : destroyInProgress }"};
    EXPECT_EQ(bench.send("{ seq 1, slot 5, pdu command : create : spi-tdm : { channel 1 } }"),
              Texts{"{ seq 1, slot 5, pdu response : success : NULL }"});
    EXPECT_EQ(bench.send("{ seq 2, slot 5, pdu command : destroy : NULL }"), Texts{});
    EXPECT_EQ(bench.send("{ seq 3, slot 5, pdu command : create : spi-tdm : { channel 1 } }"),
              busy);
    EXPECT_EQ(bench.send("{ seq 3, slot 5, pdu command : destroy : NULL }"), busy);
    Slot* const slot = Slots::instance().find(5);
    ASSERT_NE(slot, nullptr);
    slot->on_release();
    EXPECT_EQ(bench.received(50), Texts{"{ seq 2, slot 5, pdu response : success : NULL }"});
    EXPECT_EQ(Slots::instance().find(5), nullptr);
    EXPECT_TRUE(lingering.slots().empty());

    // A create on a slot that defers: the number stays busy.
    bench.send("{ seq 4, slot 6, pdu command : create : spi-tdm : { channel 1 } }");
    EXPECT_EQ(bench.send("{ seq 5, slot 6, pdu command : create : spi-tdm : { channel 1 } }"),
              Texts{"{ seq 5, slot 6, pdu response : error : slotIdBusy }"});
    EXPECT_EQ(bench.send("{ seq 6, slot 6, pdu command : create : spi-tdm : { channel 1 } }"),
              Texts{"{ seq 6, slot 6, pdu response : error : destroyInProgress }"});
    bench.send("{ seq 7, slot 8, pdu command : create : spi-tdm : { channel 1 } }");
    EXPECT_EQ(lingering.slots().size(), 2u);

    // The controller goes: every slot is gone, those still finishing too,
    // and no answer is sent for them.
    bench.server.Deactivate();
    EXPECT_TRUE(Slots::instance().created().empty());
    EXPECT_EQ(Slots::instance().find(6), nullptr);
    EXPECT_EQ(Slots::instance().find(8), nullptr);
    EXPECT_TRUE(lingering.slots().empty());
}
