// The DSP-processing receiver against the simulated board's /dev/dsp: the
// requests each feature switch makes from its starting state, and the
// clean-up.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "tests/support/board.h"
#include "hardware/dsproc_receiver.h"
#include "tests/support/capture.h"
#include "tests/support/temp_root.h"

using support::board;
using support::boardRequests;

namespace {

support::TempRoot const root;

class Channel : public Hardware::DSProcReceiver {
public:
    explicit Channel(unsigned timeslot) : timeslot_(timeslot) {}
    void dsproc_vad_event(Hardware::DSProcVADEvent const&) override {}
    void dsproc_bss_event(::dsproc_bss_event const*) override {}
    void dsproc_sd_event(Hardware::DSProcSDEvent const&) override {}
    void dsproc_tone_flt_event(::dsproc_tone_event const*) override {}
    void dsproc_flags_event(::dsproc_flags_event const*) override {}
    unsigned dsproc_timeslot() const override { return timeslot_; }

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

    // A refused enabling keeps the state; the id is spent all the same.
    board("fail dsp DSPROC_ENABLE EBUSY 1");
    EXPECT_FALSE(c.enableSD(true));
    EXPECT_NE(errors.text().find("DSPROC_ENABLE SD fail: timeslot=4000 id=" + id(3) +
                                 " errno=\"Device or resource busy\"\n"),
              std::string::npos);
    ASSERT_TRUE(c.enableSD(true));
    EXPECT_EQ(boardRequests("dsp", "DSPROC_ENABLE").back(), "DSPROC_ENABLE 4000 " + id(4) + " 2");
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
    // Signal detection is left as it is.
    EXPECT_NE(board("dsp 4020").find(" sd on "), std::string::npos);
}
