// The DSP-processing receiver against the simulated board's /dev/dsp: the
// requests each feature switch makes from its starting state, the record
// the interface version asks for, which receiver an event reaches, and the
// clean-up.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "tests/support/board.h"
#include "hardware/dsproc_receiver.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"
#include "server/trace_ctl.h"

using support::board;
using support::boardRequests;
using support::runUntil;

namespace {

support::TempRoot const root;

class Channel : public Hardware::DSProcReceiver {
public:
    explicit Channel(unsigned timeslot) : timeslot_(timeslot) {}
    void dsproc_vad_event(Hardware::DSProcVADEvent const& e) override {
        seen.push_back("vad " + std::to_string(e.rx) + " " + std::to_string(e.tx));
    }
    void dsproc_bss_event(::dsproc_bss_event const* e) override {
        seen.push_back("bss " + std::to_string(e->score));
    }
    void dsproc_sd_event(Hardware::DSProcSDEvent const& e) override {
        seen.push_back("sd " + std::to_string(e.rx));
    }
    void dsproc_tone_flt_event(::dsproc_tone_event const* e) override {
        seen.push_back("tone " + std::to_string(e->frequency) + " " + std::to_string(e->presence));
    }
    void dsproc_flags_event(::dsproc_flags_event const* e) override {
        seen.push_back("flags " + std::to_string(e->flags) + " " + std::to_string(e->mask));
    }
    unsigned dsproc_timeslot() const override { return timeslot_; }

    std::vector<std::string> seen;

private:
    unsigned timeslot_;
};

// The requests, without their timeslot: "DSPROC_DISABLE 0 1" for {ts, 0, 1}.
std::vector<std::string> words_of(std::vector<std::string> const& lines) {
    std::vector<std::string> found;
    for (std::string const& line : lines) {
        if (line.rfind("DSPROC_", 0) != 0) continue;
        size_t const after_name = line.find(' ');
        size_t const after_slot = line.find(' ', after_name + 1);
        found.push_back(line.substr(0, after_name) + line.substr(after_slot));
    }
    return found;
}

}  // namespace

TEST(DSProcReceiver, SwitchesEachFeatureFromItsStartingStateWithAFreshIdForEachEnabling) {
    support::StreamCapture errors(std::cerr);
    board("log clear");
    Channel c(4000);
    // VAD starts never set, so its first disabling is asked for; BSS starts off.
    EXPECT_TRUE(c.disableVAD());
    EXPECT_TRUE(c.disableBSS());
    ASSERT_TRUE(c.enableVAD(true));
    EXPECT_TRUE(c.enableVAD(true));
    uint32_t const vad = c.vad_id();
    ASSERT_TRUE(c.enableMute(true, true));
    ASSERT_TRUE(c.enableMute(true, false));
    ASSERT_TRUE(c.disableMute());
    EXPECT_TRUE(c.disableMute());
    auto id = [&](uint32_t n) { return std::to_string(vad + n); };
    EXPECT_EQ(words_of(boardRequests("dsp", "")),
              (std::vector<std::string>{"DSPROC_DISABLE 0 1", "DSPROC_ENABLE " + id(0) + " 1",
                                        "DSPROC_ENABLE " + id(1) + " 12",
                                        "DSPROC_ENABLE " + id(2) + " 4", "DSPROC_DISABLE 0 12"}));
    EXPECT_NE(errors.text().find("DSPROC_ENABLE MUTE done: timeslot=4000 id=" + id(2) + "\n"),
              std::string::npos);

    // A refused enabling keeps the state; the id is spent all the same.
    board("fail dsp DSPROC_ENABLE EBUSY 1");
    EXPECT_FALSE(c.enableSD(true));
    EXPECT_NE(errors.text().find("DSPROC_ENABLE SD fail: timeslot=4000 id=" + id(3) +
                                 " errno=\"Device or resource busy\"\n"),
              std::string::npos);
    ASSERT_TRUE(c.enableSD(true));
    EXPECT_EQ(boardRequests("dsp", "DSPROC_ENABLE").back(), "DSPROC_ENABLE 4000 " + id(4) + " 2");
}

TEST(DSProcReceiver, ConfiguresVoiceActivityAsTheInterfaceVersionAsks) {
    support::StreamCapture errors(std::cerr);
    Channel c(4001);
    LGCP::VADParams v1;
    v1.select_v1();
    LGCP::VADParams v2;
    TERM::VADParamsV2& values = v2.select_v2();
    values.set_voice_th_msec(120);
    values.set_silence_th_msec(800);
    values.set_e_th_dB(-45);

    board("dsp version 2");
    board("log clear");
    EXPECT_FALSE(c.configureVAD(v1));
    EXPECT_TRUE(boardRequests("dsp", "DSPROC_CONFIGURE").empty());
    EXPECT_NE(errors.text().find("DSPROC_CONFIGURE VAD: params not specified for v2:  "
                                 "timeslot=4001\n"),
              std::string::npos);
    EXPECT_TRUE(c.configureVAD(v2));
    EXPECT_EQ(board("dsp 4001"),
              "4001 vad off 0 sd off 0 bss off 0 ng off 0 mute off delays 0 0 0 "
              "gain 0 vad-config v2 120 800 -45\n");
    board("dsp version 1");
    EXPECT_TRUE(c.configureVAD(v2));
    EXPECT_EQ(boardRequests("dsp", "DSPROC_CONFIGURE").back(), "DSPROC_CONFIGURE 4001 1 3 127 0");
    board("dsp version 2");
}

TEST(DSProcReceiver, AnEventReachesTheReceiverWhoseFeatureIsOnWithItsId) {
    support::StreamCapture log(std::clog), errors(std::cerr);
    bool const tracing = traces.signalling.events;
    traces.signalling.events = true;
    // `fresh` has never enabled VAD: its id 0 still takes records.
    Channel fresh(4010), enabled(4010), bss(4011);
    ASSERT_TRUE(enabled.enableVAD(true));
    ASSERT_TRUE(bss.enableBSS(true));
    std::string const vad = std::to_string(enabled.vad_id());
    for (std::string const& line : std::vector<std::string>{
             "dsp vad 4010 - 5 id 0", "dsp vad 4010 1 - id " + vad, "dsp vad 4010 1 1 id 123456",
             "dsp sd 4010 1 id 0", "dsp bss 4010 0.5", "dsp bss 4011 0.25 id 99",
             "dsp tone 4010 2100 1 id 42", "dsp flags 4010 0x20000000 0x20000000 id 7",
             "dsp vad 4099 1 1", "dsp sd 4011 1"})
        ASSERT_EQ(board(line), "") << line;
    ASSERT_TRUE(
        runUntil([&] { return !bss.seen.empty() && bss.seen.back().rfind("sd", 0) == 0; }));
    EXPECT_EQ(fresh.seen, (std::vector<std::string>{"vad -1 5", "sd 1", "tone 2100 1",
                                                    "flags 536870912 536870912"}));
    EXPECT_EQ(enabled.seen, std::vector<std::string>{"vad 1 -1"});
    EXPECT_EQ(bss.seen, (std::vector<std::string>{"bss 0.250000", "sd 1"}));
    EXPECT_NE(log.text().find(
                  "ignore spurious dsproc vad event:  timeslot=4010 id=123456 type=1 rid=0\n"),
              std::string::npos);
    EXPECT_NE(log.text().find("ignore spurious dsproc bss event (dsproc disabled):  timeslot=4010"),
              std::string::npos);
    EXPECT_NE(log.text().find("dsproc flags event:  flags=20000000, mask=20000000\n"),
              std::string::npos);
    EXPECT_NE(errors.text().find("receive dsproc event from unknown timeslot 4099\n"),
              std::string::npos);
    traces.signalling.events = tracing;
}

TEST(DSProcReceiver, CleansUpWhatItSwitchedOnAndEveryToneFilter) {
    support::StreamCapture log(std::clog), errors(std::cerr);
    Channel c(4020);
    ASSERT_TRUE(c.enableVAD(true));
    ASSERT_TRUE(c.enableBSS(true));
    ASSERT_TRUE(c.enableNG(true));
    ASSERT_TRUE(c.enableSD(true));
    c.configureDelays(10, 0, 0);
    c.configureRxGain(-3);
    c.configureToneFilter(2100, 1, 40, -20);
    board("log clear");
    c.CleanBeforeDestroy();
    EXPECT_EQ(words_of(boardRequests("dsp", "")),
              (std::vector<std::string>{"DSPROC_DISABLE 0 1", "DSPROC_DISABLE 0 16",
                                        "DSPROC_DISABLE 0 128", "DSPROC_CONFIGURE 32 0 0 0",
                                        "DSPROC_CONFIGURE 64 0 0 0", "DSPROC_DISABLE 0 256"}));
    EXPECT_NE(log.text().find("DSPROC_CONFIGURE RX GAIN ts=4020 gain_dB=-3\n"), std::string::npos);
    EXPECT_NE(log.text().find("DSPROC_CONFIGURE TONE FILTER ts=4020 freq=2100, en=1, "
                              "dur_th_msec=40, det_lvl_dB=-20\n"),
              std::string::npos);
    // Signal detection is left as it is.
    std::string const state = board("dsp 4020");
    EXPECT_EQ(state.find("4020 vad off "), 0u);
    EXPECT_NE(state.find(" sd on "), std::string::npos);
    EXPECT_NE(state.find(" bss off "), std::string::npos);
}
