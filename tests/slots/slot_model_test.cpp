// The slot model in-process: which slot drives the switch, what a connect
// leaves behind when it moves a destination or fails, and the slot's
// converters of receiver events into signals.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "server/ctrl_server.h"
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

using Texts = std::vector<std::string>;

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
    // Signals of unbound slots are refused with a line; keep those out of view.
    support::StreamCapture quiet(std::cerr);
    for (Case const& c : cases) {
        SCOPED_TRACE(std::to_string(c.source_priority) + " " +
                     std::to_string(c.destination_priority));
        Recording source("src", c.source_priority), destination("dst", c.destination_priority);
        calls.clear();
        ASSERT_TRUE(Connect(source, destination));
        EXPECT_EQ(calls, Texts{c.connect});
        calls.clear();
        ASSERT_TRUE(Disconnect(destination));
        EXPECT_EQ(calls, (Texts{c.disconnect, "dst input released", "src output released"}));
        EXPECT_EQ(destination.source(), nullptr);
        EXPECT_TRUE(source.consumers().empty());
    }
}

TEST(SlotModel, ADestinationMovesToANewSourceOrBackToTheOldOneWhenTheConnectFails) {
    support::StreamCapture quiet(std::cerr);
    Recording a("a"), b("b"), d("d"), e("e");
    ASSERT_TRUE(Connect(a, d));
    ASSERT_TRUE(Connect(a, e));
    calls.clear();
    EXPECT_TRUE(Connect(a, d));  // already its source: nothing happens
    EXPECT_TRUE(calls.empty());

    d.refuse = true;
    EXPECT_FALSE(Connect(b, d));
    EXPECT_EQ(calls, (Texts{"a disconnects its output from d", "d connects its input to b",
                            "b output released", "d connects its input to a"}));
    EXPECT_EQ(d.source(), &a);
    EXPECT_TRUE(b.consumers().empty());

    d.refuse = false;
    calls.clear();
    ASSERT_TRUE(Connect(b, d));
    EXPECT_EQ(calls, (Texts{"a disconnects its output from d", "d connects its input to b"}));
    ASSERT_TRUE(Connect(b, e));
    EXPECT_EQ(calls.back(), "a output released");
    EXPECT_EQ(b.consumers().size(), 2u);
    EXPECT_TRUE(a.consumers().empty());
}

namespace {

// Notes every signal offered to it, in value notation on one line.
class Listener : public CtrlSrv::Service {
public:
    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const&) override { return false; }
    void OnSignal(LGCP::Signal const& signal) override {
        std::string text;
        std::istringstream words(signal.asValueNotation());
        for (std::string w; words >> w;) text += (text.empty() ? "" : " ") + w;
        seen.push_back(text);
    }
    std::vector<std::string> seen;
};

class Plain : public Slot {
public:
    char const* GetName() const override { return "plain"; }
};

struct Bound {
    Bound() {
        server.Bind(&Slots::instance());
        server.Bind(&listener);
    }
    CtrlSrv::Server server;
    Listener listener;
    Plain slot;
    support::StreamCapture errors{std::cerr};
};

}  // namespace

// Seen by a service bound beside the slot service (every signal is offered
// to the other bound services before it leaves): the edges of the detected
// codes, and the events the controller cannot switch on itself. The slot
// service stays bound to the server these tests made, so they run after
// the slot model's.
TEST(SlotEvents, DetectedCodesAtTheEdgesOfTheirRangesAndBssScoresBecomeSignalsOrALine) {
    struct Case {
        uint32_t code;
        char const* signal;  // "" for none
    } const cases[] = {
        {0, "tonec : { timestamp 9, event dtmf : 0 }"},
        {127, "tonec : { timestamp 9, event dtmf : 127 }"},
        {128, ""},
        {0x1400, "tonec : { timestamp 9, event iva : code : 20 }"},
        {0x1600, ""},
        {0xFFFFFF00, ""},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.code);
        Bound b;
        b.slot.processTonecEvent({c.code, 9});
        EXPECT_EQ(b.listener.seen, *c.signal ? Texts{c.signal} : Texts{});
        EXPECT_EQ(b.errors.text().find("bad DTMF code, ignored.") != std::string::npos, !*c.signal);
    }

    Bound b;
    b.slot.processSDEvent({-2});
    for (float score : {0.25f, -3.0f, 1e30f}) {
        dsproc_bss_event const bss{score};
        b.slot.processBSSEvent(&bss);
    }
    EXPECT_EQ(b.listener.seen,
              (Texts{"bss : { score \"0.250000\" }", "bss : { score \"-3.000000\" }",
                     "bss : { score \"1000000015047466219876688855040\" }"}));
    EXPECT_NE(b.errors.text().find("bad SD event, ignored.\n"), std::string::npos);
}
