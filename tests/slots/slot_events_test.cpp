// The slot's converters of tone and DSP receiver events into signals, seen
// by a service bound beside the slot service (every signal is offered to
// the other bound services before it leaves).

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"
#include "server/ctrl_server.h"
#include "slots/slots.h"

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

using Texts = std::vector<std::string>;

}  // namespace

TEST(SlotEvents, ADetectedCodeAtTheEdgesOfItsRangesBecomesDtmfOrIvaOrALine) {
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
}

TEST(SlotEvents, DspEventsBecomeTheirSignals) {
    Bound b;
    b.slot.processVADEvent({1, -1});
    b.slot.processVADEvent({-1, -1});
    b.slot.processSDEvent({0});
    b.slot.processSDEvent({-2});
    dsproc_tone_event const tone{1000, 0xFFFFFFFF};
    b.slot.processToneFltEvent(&tone);
    dsproc_flags_event const flags{0x40000000, 0xE0000000};
    b.slot.processFlagsEvent(&flags);
    dsproc_flags_event const nothing{0xFFFFFFFF, 0x1FFFFFFF};
    b.slot.processFlagsEvent(&nothing);
    for (float score : {0.25f, -3.0f, 1e30f}) {
        dsproc_bss_event const bss{score};
        b.slot.processBSSEvent(&bss);
    }
    EXPECT_EQ(b.listener.seen,
              (Texts{"vad : { vad-rx TRUE }", "sd : { sd-rx FALSE }",
                     "tonec : { timestamp 0, event tone-presence : { freq 1000, presence FALSE } }",
                     "vad : { vad-rx FALSE, vad-tx TRUE }", "selcal : { in-progress FALSE }",
                     "bss : { score \"0.250000\" }", "bss : { score \"-3.000000\" }",
                     "bss : { score \"1000000015047466219876688855040\" }"}));
    EXPECT_NE(b.errors.text().find("bad VAD event, ignored.\n"), std::string::npos);
    EXPECT_NE(b.errors.text().find("bad SD event, ignored.\n"), std::string::npos);
}
