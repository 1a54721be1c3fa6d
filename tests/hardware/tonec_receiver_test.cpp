// The tone receiver against the simulated board's /dev/dtmf: detection ids,
// and the digit and ringing cadences on the loop's timers with short
// durations.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "tests/support/board.h"
#include "hardware/tonec_receiver.h"
#include "runtime/loop/multiplexer.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/temp_root.h"

using support::board;
using support::boardRequests;
using support::runUntil;

namespace {

support::TempRoot const root;

class Channel : public Hardware::TonecReceiver {
public:
    explicit Channel(unsigned timeslot, unsigned tone_ms = ring_tone_ms,
                     unsigned pause_ms = ring_pause_ms)
        : TonecReceiver(tone_ms, pause_ms), timeslot_(timeslot) {}
    void tonec_event(Params const&) override {}
    unsigned tonec_timeslot() const override { return timeslot_; }
    void tone_gen_complete() override { ++completions; }

    int completions = 0;

private:
    unsigned timeslot_;
};

// The generator settings of a timeslot, oldest first ("697 1209 16384 16384"),
// and when the board saw each, in milliseconds since the first.
std::vector<std::string> tones(unsigned timeslot, std::vector<long>* times = nullptr) {
    std::istringstream history(board("dtmf dial " + std::to_string(timeslot)));
    std::vector<std::string> found;
    for (std::string line; std::getline(history, line);) {
        found.push_back(line.substr(line.find(' ') + 1));
        if (times) times->push_back(std::stol(line.substr(1)));
    }
    return found;
}

LGCP::TranslateDtmfParams digits(std::vector<std::pair<int, int>> const& tones, int tone_ms,
                                 int pause_ms) {
    LGCP::TranslateDtmfParams params;
    for (auto const& [f1, f2] : tones) {
        LGCP::DualTone tone;
        tone.set_freq1(f1);
        tone.set_freq2(f2);
        params.ref_digits().push_back(tone);
    }
    params.set_toneDuration(tone_ms);
    params.set_pauseDuration(pause_ms);
    return params;
}

}  // namespace

TEST(TonecReceiver, SwitchesDetectionOnOnceWithAFreshIdForEachEnabling) {
    support::StreamCapture errors(std::cerr);
    board("log clear");
    Channel iva(3010), dtmf(3011), refused(3012);
    // IVA detection turns the detector on: DTMF then asks nothing.
    ASSERT_TRUE(iva.enableIVA(true));
    EXPECT_TRUE(iva.enableDTMF(true));
    ASSERT_TRUE(dtmf.enableDTMF(true));
    EXPECT_TRUE(dtmf.enableDTMF(true));
    ASSERT_TRUE(dtmf.disableDTMF());
    EXPECT_TRUE(dtmf.disableDTMF());
    ASSERT_TRUE(dtmf.enableDTMF(true));
    std::string const id = std::to_string(dtmf.detector_id());
    std::string const before = std::to_string(dtmf.detector_id() - 1);
    EXPECT_EQ(boardRequests("dtmf", "DTMF_ENABLE_DETECTOR"),
              (std::vector<std::string>{"DTMF_ENABLE_DETECTOR 3011 " + before,
                                        "DTMF_ENABLE_DETECTOR 3011 " + id}));
    EXPECT_EQ(boardRequests("dtmf", "DTMF_DISABLE_DETECTOR"),
              std::vector<std::string>{"DTMF_DISABLE_DETECTOR 3011"});

    // A refused enable leaves the receiver off, and says so.
    board("fail dtmf DTMF_ENABLE_DETECTOR EIO 1");
    EXPECT_FALSE(refused.enableDTMF(true));
    EXPECT_FALSE(refused.detector());
    EXPECT_NE(errors.text().find("DTMF_ENABLE_DETECTOR fail: timeslot=3012 id="),
              std::string::npos);
    // A record for a timeslot without a receiver is told.
    board("dtmf detect 3999 4");
    EXPECT_TRUE(runUntil([&] {
        return errors.text().find("receive tonec event from unknown timeslot 3999\n") !=
               std::string::npos;
    }));
}

TEST(TonecReceiver, SendsEachDigitAsAToneAndAPauseThenSaysOnceThatItIsDone) {
    // A string sent meanwhile replaces the digits still to go.
    Channel out(3020);
    out.translateDTMF(digits({{697, 1209}, {770, 1336}}, 6, 4));
    out.translateDTMF(digits({{941, 1633}, {852, 1477}}, 6, 4));
    EXPECT_TRUE(out.is_inDTMFTransmit());
    ASSERT_TRUE(runUntil([&] { return out.completions > 0; }));
    EXPECT_EQ(out.completions, 1);
    EXPECT_FALSE(out.is_inDTMFTransmit());
    EXPECT_EQ(tones(3020),
              (std::vector<std::string>{"697 1209 16384 16384", "1000 1000 0 0",
                                        "941 1633 16384 16384", "1000 1000 0 0",
                                        "852 1477 16384 16384", "1000 1000 0 0", "0 0 0 0"}));
    // Each step waits its time; the loop's clock may run a millisecond behind.
    std::vector<long> at;
    tones(3020, &at);
    long const due[] = {0, 6, 10, 16, 20, 26, 30};
    for (size_t i = 0; i < at.size(); ++i) EXPECT_GE(at[i], due[i] - 2) << "step " << i;

    // An empty string turns the generator off and is done at once.
    Channel empty(3021);
    empty.translateDTMF(LGCP::TranslateDtmfParams());
    EXPECT_EQ(empty.completions, 1);
    EXPECT_EQ(tones(3021), std::vector<std::string>{"0 0 0 0"});
}

TEST(TonecReceiver, RingsInItsCadenceUntilCancelledAndTakesTheGeneratorFromADigitString) {
    uint32_t const at_rest = Multiplexer::instance().timers_count();
    Channel ring(3030, 3, 5);
    ring.activateAudibleCall();
    ASSERT_TRUE(runUntil([&] { return tones(3030).size() >= 5; }));
    ring.cancelAudibleCall();
    // Cancelled, the cadence has no step left to set the generator again.
    EXPECT_EQ(Multiplexer::instance().timers_count(), at_rest);
    std::vector<std::string> const rung = tones(3030);
    ASSERT_GE(rung.size(), 6u);
    for (size_t i = 0; i + 1 < rung.size(); ++i)
        EXPECT_EQ(rung[i], i % 2 ? "1000 1000 0 0" : "425 0 2048 2048") << "step " << i;
    EXPECT_EQ(rung.back(), "0 0 0 0");
    std::vector<long> at;
    tones(3030, &at);
    for (size_t i = 1; i + 1 < at.size(); ++i)
        EXPECT_GE(at[i] - at[i - 1], (i % 2 ? 3 : 5) - 2) << "step " << i;

    // While a string is being sent, cancelling the ringing does nothing.
    Channel busy(3031);
    busy.translateDTMF(digits({{697, 1209}}, 100000, 5));
    busy.cancelAudibleCall();
    EXPECT_TRUE(busy.is_inDTMFTransmit());
    // The ringing takes the generator: the string ends, and the next one
    // dials at once.
    busy.activateAudibleCall();
    EXPECT_FALSE(busy.is_inDTMFTransmit());
    busy.translateDTMF(digits({{941, 1336}}, 100000, 5));
    EXPECT_TRUE(busy.is_inDTMFTransmit());
    EXPECT_EQ(tones(3031), (std::vector<std::string>{"697 1209 16384 16384", "425 0 2048 2048",
                                                     "941 1336 16384 16384"}));
    busy.disableToneGenerator(false);
    EXPECT_EQ(Multiplexer::instance().timers_count(), at_rest);
}

TEST(TonecReceiver, CutsDurationsToTheLoopsTimerRange) {
    uint32_t const at_rest = Multiplexer::instance().timers_count();
    ASSERT_EQ(at_rest, 0u);
    support::StreamCapture errors(std::cerr);
    Channel out(3040);
    out.translateDTMF(digits({{697, 1209}}, 2147483647, 0));
    int const wait = Multiplexer::instance().timers_schedule();
    EXPECT_GT(wait, Multiplexer::max_timer_wait - 1000);
    EXPECT_LE(wait, Multiplexer::max_timer_wait);
    EXPECT_EQ(errors.text().find("invalid wait time"), std::string::npos);
}

TEST(TonecReceiver, DialsTheFirstFourSelcalSignsAndRefusesFewer) {
    support::StreamCapture errors(std::cerr);
    Channel radio(3050);
    TERM::SelcalCommand command;
    command.set_signs().assign("ABCDEFG");
    radio.translateSelcal(command);
    command.set_amp(500);
    command.set_signs().assign("XY1");
    radio.translateSelcal(command);
    EXPECT_EQ(board("dtmf 3050"),
              "3050 detector off id 0 lms off rejection off iva off generator 0 0 0 0 "
              "selcal ABCD 12000\n");
    EXPECT_NE(errors.text().find("SELCAL_DIAL fail: timeslot=3050 incorect signs:XY1\n"),
              std::string::npos);
}
