// Mixer slots of the real server on the simulated board: the units the
// query finds, the sums the board is left with, and the tone and DSP
// receivers on the channels' timeslots as the controller sees them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/slot_session.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// Unit 0 with four channels on timeslots 1024 to 1027, unit 3 with six on
// 2048 to 2053: a unit has the fewest channels of the two, four.
char const two_units[] =
    "mixer remove 0\n"
    "mixer add 0 4 8 1024\n"
    "mixer add 3 6 16 2048\n";

char const query_two_units[] = R"(
    > { seq 100, pdu command : query : NULL }
    < { seq 100, pdu response : success : NULL }
    < { pdu signal : query : { ... mixer { { unit 0, tdm_inputs 4, tdm_outputs 4, mixer_inputs 8, dpu_per_mixer 770, dpu_per_ec 17, dpu_per_lms 24 }, { unit 3, tdm_inputs 4, tdm_outputs 4, mixer_inputs 8, dpu_per_mixer 770, dpu_per_ec 17, dpu_per_lms 24 } }, mux TRUE, ... } }
)";

// A server on the board with two mixer units, a controller connected, and
// the units found by a query unless told otherwise.
struct Mixers : Connected {
    explicit Mixers(bool query = true) : Connected(two_units) {
        if (query) run(query_two_units);
    }
    void run(std::string const& script) { Connected::run(answered(script)); }
    std::string log(std::string const& filter) const { return boardLog(server.root(), filter); }
};

// The tone generator's settings of a timeslot ("F1 F2 A1 A2"), and when the
// board saw each.
std::vector<std::string> tones(std::string const& root, int timeslot,
                               std::vector<long>* at_ms = nullptr) {
    std::istringstream history(boardTool(root, "dtmf dial " + std::to_string(timeslot)));
    std::vector<std::string> found;
    for (std::string line; std::getline(history, line);) {
        size_t const blank = line.find(' ');
        if (at_ms) at_ms->push_back(std::stol(line.substr(1, blank - 1)));
        found.push_back(line.substr(blank + 1));
    }
    return found;
}

}  // namespace

// A unit that disappears from the board is noticed at the next query: each
// slot on it is aborted.
TEST(MixerSlots, AreMadeOnlyOnUnitsThatAQueryFoundAndAbortedWhenTheirUnitGoes) {
    Mixers m(false);
    m.run(R"(
        > { seq 1, slot 1, pdu command : create : mixerIn : { unit 0, channel tdm : 1 } }
        < { seq 1, slot 1, pdu response : error : insufficientResources }
        > { seq 2, slot 1, pdu command : create : mixerOut : { unit 0, channel tdm : 1, inputs { } } }
        < { seq 2, slot 1, pdu response : error : insufficientResources }
    )");
    EXPECT_EQ(m.log("mixer"), "");
    m.run(query_two_units);
    EXPECT_EQ(m.log("mixer MIX_RX_CLEAR"),
              "mixer MIX_RX_CLEAR 0 0 0\nmixer MIX_RX_CLEAR 0 0 1\nmixer MIX_RX_CLEAR 0 0 2\n"
              "mixer MIX_RX_CLEAR 0 0 3\nmixer MIX_RX_CLEAR 3 0 0\nmixer MIX_RX_CLEAR 3 0 1\n"
              "mixer MIX_RX_CLEAR 3 0 2\nmixer MIX_RX_CLEAR 3 0 3\n");
    m.run(R"(
        > { seq 4, slot 1, pdu command : create : mixerIn : { unit 0, channel tdm : 4 } }
        < { seq 4, slot 1, pdu response : error : insufficientResources }
        + { seq 6, slot 1, pdu command : create : mixerIn : { unit 3, channel tdm : 3 } }
        $ mixer 3
        = no sums
        + { seq 7, slot 7, pdu command : create : mixerIn : { unit 0, channel tdm : 1 } }
        + { seq 8, slot 8, pdu command : create : mixerOut : { unit 0, channel tdm : 1, inputs { } } }
        $ mixer remove 0
        > { seq 9, pdu command : query : NULL }
        < { seq 9, pdu response : success : NULL }
        < { slot 7, pdu signal : abort : 0 }
        < { slot 8, pdu signal : abort : 0 }
        < { pdu signal : query : { ... mixer { { unit 3, tdm_inputs 6, tdm_outputs 6, mixer_inputs 16, dpu_per_mixer 770, dpu_per_ec 17, dpu_per_lms 24 } }, mux TRUE, ... } }
        + { seq 10, slot 7, pdu command : destroy : NULL }
    )");
}

TEST(MixerSlots, OutputsSetTheirSumAndInputsJoinTheirSummatorUntilDestroyed) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { slot 1, pdu signal : transmitter : active : 37 }
        < { slot 1, pdu signal : receiver : active : 37 }
        + { seq 2, slot 2, pdu command : create : mixerOut : { unit 0, channel tdm : 2, inputs { { channel tdm : 0, gain 20000 } } } }
        + { seq 3, slot 3, pdu command : create : mixerIn : { unit 0, channel tdm : 1, summator tdm : 2 } }
        + { seq 4, slot 4, pdu command : create : mixerOut : { unit 0, channel tdm : 3, inputs { } } }
        $ mixer 0
        = 2 <- 0x20000 1x32767
        = 3 <- 3x32767
        > { seq 5, slot 1, pdu command : connect : 3 }
        < { slot 3, pdu signal : receiver : active : 1025 }
        < { seq 5, slot 1, pdu response : success : NULL }
        > { seq 6, slot 2, pdu command : connect : 1 }
        < { slot 2, pdu signal : transmitter : active : 1026 }
        < { seq 6, slot 2, pdu response : success : NULL }
        $ mux
        = bus outputs off: 2048 of 2048
        = 37 <- 1026
        = 1025 <- 37
        + { seq 7, slot 3, pdu command : destroy : NULL }
        $ mixer 0
        = 2 <- 0x20000
        = 3 <- 3x32767
        $ mux 1025
        = 1025 off
        + { seq 8, slot 2, pdu command : destroy : NULL }
        $ mixer 0
        = 3 <- 3x32767
        > { seq 11, slot 6, pdu command : create : mixerOut : { unit 3, channel tdm : 4, inputs { { channel tdm : 5, gain 100 } } } }
        < { seq 11, slot 6, pdu response : error : insufficientResources }
        $ mixer 3
        = 4 <- 5x100
    )");
    EXPECT_TRUE(m.server.errHas("mixer [0]: clear tdm output 2\n"));
    // The input took itself out of its summator when it went.
    EXPECT_EQ(m.log("mixer MIX_RX_REMOVE"), "mixer MIX_RX_REMOVE 0 0 2 0 0 1\n");
}

// The detector on with a fresh id; the codes it reports while on; records
// with another id, after it is off, or not a whole record, report nothing.
TEST(MixerInputs, ReportWhatTheirDetectorFindsWhileItIsOn) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 5, pdu command : create : mixerIn : { unit 0, channel tdm : 1, ecm { ec FALSE, es TRUE } } }
        + { seq 2, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        + { seq 3, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        $ dtmf 1025
        = 1025 detector on id 1 lms on rejection off iva off generator 0 0 0 0
        $ dtmf detect 1025 5 at 1000
        < { slot 5, pdu signal : tonec : { timestamp 1000, event dtmf : 5 } }
        $ dtmf detect 1025 ced at 1001
        < { slot 5, pdu signal : tonec : { timestamp 1001, event ced : NULL } }
        $ dtmf detect 1025 cng at 1002
        < { slot 5, pdu signal : tonec : { timestamp 1002, event cng : NULL } }
        $ dtmf detect 1025 iva:7 at 1003
        < { slot 5, pdu signal : tonec : { timestamp 1003, event iva : code : 7 } }
        $ dtmf detect 1025 ringoff at 1004
        < { slot 5, pdu signal : tonec : { timestamp 1004, event iva : ringoff : NULL } }
        $ dtmf detect 1025 0x1600
        $ dtmf detect 1025 5 stale
        $ dtmf short 3
        $ dtmf detect 1025 12 at 1005
        < { slot 5, pdu signal : tonec : { timestamp 1005, event dtmf : 12 } }
        + { seq 4, slot 5, pdu command : ioctl : dtmf-enable : FALSE }
        $ dtmf detect 1025 5
    )");
    // The record is read while the detector is off, before it is on again.
    ASSERT_TRUE(m.server.errHas("ignore spurious dtmf event (DTMF disabled): ", 3s));
    m.run(R"(
        + { seq 5, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        $ dtmf detect 1025 5 id 1
        $ dtmf detect 1025 9 at 7
        < { slot 5, pdu signal : tonec : { timestamp 7, event dtmf : 9 } }
        ~ 100
    )");
    EXPECT_EQ(m.log("dtmf DTMF_ENABLE_DETECTOR"),
              "dtmf DTMF_ENABLE_DETECTOR 1025 1\ndtmf DTMF_ENABLE_DETECTOR 1025 2\n");
    EXPECT_TRUE(m.server.errHas("bad DTMF code, ignored.\n"));
    EXPECT_TRUE(m.server.errHas("ignore spurious dtmf event:  timestamp="));
    EXPECT_TRUE(m.server.errHas("fail to read from tonec: a record of 3 bytes, not 16\n"));
}

TEST(MixerInputs, GetTheirDigitsWhenAnOlderOutputSharesTheTimeslot) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 6, pdu command : create : mixerOut : { unit 0, channel tdm : 2, inputs { } } }
        + { seq 2, slot 6, pdu command : ioctl : iva-enable : TRUE }
        + { seq 3, slot 5, pdu command : create : mixerIn : { unit 0, channel tdm : 2 } }
        + { seq 4, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        $ dtmf detect 1026 3 at 50
        < { slot 5, pdu signal : tonec : { timestamp 50, event dtmf : 3 } }
        + { seq 5, slot 5, pdu command : ioctl : vad-enable : TRUE }
        $ dsp vad 1026 1 -
        < { slot 5, pdu signal : vad : { vad-rx TRUE } }
        ~ 100
    )");
}

// Each digit is a tone then a pause, each frequency cut to 16 bits, silence
// a 1000 Hz tone of no amplitude, and exactly one dtmfDone at the end.
// Durations are cut to the loop's timer range: a tone as long as an int
// holds next to one of a negative length, sent in one go, would otherwise
// put a timer far beyond the others at the head of the list, and the loop
// would move every timer (the heartbeat's among them).
TEST(MixerOutputs, DialDigitStringsWithTheirDurationsUntilDoneStoppedOrDestroyed) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 5, pdu command : create : mixerOut : { unit 0, channel tdm : 1, inputs { } } }
        + { seq 2, slot 5, pdu command : ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 }, { freq1 70306, freq2 1336 } }, amp1 1000, toneDuration 60, pauseDuration 40 } }
        < { slot 5, pdu signal : tonec : { timestamp 0, event dtmfDone : NULL } }
        ~ 150
        + { seq 11, slot 6, pdu command : create : mixerOut : { unit 0, channel tdm : 2, inputs { } } }
        + { seq 12, slot 7, pdu command : create : mixerOut : { unit 0, channel tdm : 3, inputs { } } }
        > { seq 13, slot 6, pdu command : ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } }, toneDuration 2147483647 } }
        > { seq 14, slot 7, pdu command : ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } }, toneDuration -5 } }
        < { seq 13, slot 6, pdu response : success : NULL }
        < { seq 14, slot 7, pdu response : success : NULL }
        < { slot 7, pdu signal : tonec : { timestamp 0, event dtmfDone : NULL } }
        + { seq 15, slot 6, pdu command : ioctl : dtmf-disable : NULL }
        + { seq 16, slot 6, pdu command : ioctl : translateDTMF : { digits { { freq1 852, freq2 1477 } }, toneDuration 100000 } }
        + { seq 17, slot 6, pdu command : destroy : NULL }
        ~ 100
    )");
    std::vector<long> at_ms;
    EXPECT_EQ(tones(m.server.root(), 1025, &at_ms),
              (std::vector<std::string>{"697 1209 1000 16384", "1000 1000 0 0",
                                        "4770 1336 1000 16384", "1000 1000 0 0", "0 0 0 0"}));
    // The loop's clock runs a pass behind the board's: a millisecond or two.
    long const due[] = {0, 60, 100, 160, 200};
    for (size_t i = 0; i < at_ms.size() && i < 5; ++i)
        EXPECT_GE(at_ms[i], due[i] - 2) << "step " << i;
    EXPECT_FALSE(m.server.errHas("invalid wait time", 0ms));
    EXPECT_EQ(tones(m.server.root(), 1026),
              (std::vector<std::string>{"697 1209 16384 16384", "0 0 0 0", "852 1477 16384 16384",
                                        "1000 1000 0 0", "0 0 0 0"}));
}

// The interface version decides the VAD record; flags records give vad then
// selcal; the receive gain is a signed byte, logged as a number.
TEST(MixerInputs, ConfigureAndSwitchVoiceActivityAndSignalDetectionAndReportTheirEvents) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 5, pdu command : create : mixerIn : { unit 0, channel tdm : 1 } }
        + { seq 2, slot 5, pdu command : ioctl : vad-params : v2 : { voice-th-msec 200, silence-th-msec 300, e-th-dB -40 } }
        > { seq 3, slot 5, pdu command : ioctl : vad-params : v1 : NULL }
        < { seq 3, slot 5, pdu response : error : unsupported }
        $ dsp 1025
        = 1025 vad off 0 sd off 0 bss off 0 ng off 0 mute off delays 0 0 0 gain 0 vad-config v2 200 300 -40
        $ dsp version 1
        + { seq 4, slot 5, pdu command : ioctl : vad-params : v1 : NULL }
        + { seq 5, slot 5, pdu command : ioctl : vad-enable : TRUE }
        + { seq 6, slot 5, pdu command : ioctl : sd-params : NULL }
        + { seq 7, slot 5, pdu command : ioctl : sd-enable : TRUE }
        $ dsp 1025
        = 1025 vad on 1 sd on 2 bss off 0 ng off 0 mute off delays 0 0 0 gain 0 vad-config 3 127 0 sd-config
        $ dsp vad 1025 1 0
        < { slot 5, pdu signal : vad : { vad-rx TRUE, vad-tx FALSE } }
        $ dsp vad 1025 - -
        $ dsp vad 1025 1 1 stale
        $ dsp sd 1025 1
        < { slot 5, pdu signal : sd : { sd-rx TRUE } }
        $ dsp tone 1025 2100 1
        < { slot 5, pdu signal : tonec : { timestamp 0, event tone-presence : { freq 2100, presence TRUE } } }
        $ dsp flags 1025 0xA0000000 0xA0000000
        < { slot 5, pdu signal : vad : { vad-rx TRUE } }
        < { slot 5, pdu signal : selcal : { in-progress TRUE } }
        $ dsp short 5
        + { seq 8, slot 5, pdu command : ioctl : vad-disable : NULL }
        $ dsp vad 1025 1 1
        + { seq 9, slot 5, pdu command : ioctl : sd-disable : NULL }
        $ dsp sd 1025 1
        > { seq 10, slot 5, pdu command : ioctl : mute-enable : { rx TRUE } }
        < { seq 10, slot 5, pdu response : error : unsupported }
        > { seq 11, slot 5, pdu command : ioctl : mute-disable : NULL }
        < { seq 11, slot 5, pdu response : error : unsupported }
        + { seq 12, slot 5, pdu command : ioctl : rx-gain : { gainDB -6 } }
        $ dsp 1025
        = 1025 vad off 1 sd off 2 bss off 0 ng off 0 mute off delays 0 0 0 gain -6 vad-config 3 127 0 sd-config
        + { seq 13, slot 5, pdu command : ioctl : rx-gain : { gainDB 261 } }
        ~ 100
    )");
    EXPECT_TRUE(
        m.server.errHas("DSPROC_CONFIGURE VAD: params not specified for v2:  timeslot=1025\n"));
    EXPECT_TRUE(m.server.errHas("bad VAD event, ignored.\n"));
    EXPECT_TRUE(m.server.errHas("fail to read from dsproc: a record of 5 bytes, not 24\n"));
    EXPECT_TRUE(m.server.errHas("DSPROC_CONFIGURE RX GAIN ts=1025 gain_dB=-6\n"));
    EXPECT_TRUE(m.server.errHas("DSPROC_CONFIGURE RX GAIN ts=1025 gain_dB=5\n"));
}

TEST(MixerSlots, LeaveNothingRunningOnTheirTimeslotWhenDestroyed) {
    Mixers m;
    m.run(R"(
        + { seq 1, slot 5, pdu command : create : mixerIn : { unit 0, channel tdm : 1 } }
        + { seq 2, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        + { seq 4, slot 5, pdu command : ioctl : iva-enable : TRUE }
        + { seq 5, slot 5, pdu command : ioctl : dtmf-reject-enable : TRUE }
        + { seq 7, slot 5, pdu command : ioctl : vad-enable : TRUE }
        + { seq 8, slot 5, pdu command : ioctl : delays : { rx 20, tx 30, selcal 40 } }
        + { seq 9, slot 5, pdu command : ioctl : rx-gain : { gainDB 3 } }
        + { seq 10, slot 5, pdu command : ioctl : tone-filter : { freq 2100, enable TRUE, duration-th-msec 50, det-level-dB -20 } }
        $ dtmf 1025
        = 1025 detector on id 1 lms off rejection on iva on generator 0 0 0 0
        $ dsp 1025
        = 1025 vad on 1 sd off 0 bss off 0 ng off 0 mute off delays 20 30 0 gain 3 filter 2100 1 50 -20
        + { seq 11, slot 6, pdu command : create : mixerOut : { unit 0, channel tdm : 3, inputs { } } }
        + { seq 12, slot 6, pdu command : ioctl : tone-filter : { freq 1000, enable TRUE, duration-th-msec 10, det-level-dB -10 } }
        + { seq 14, slot 5, pdu command : destroy : NULL }
        + { seq 15, slot 6, pdu command : destroy : NULL }
        $ dtmf 1025
        = 1025 detector off id 1 lms off rejection off iva off generator 0 0 0 0
        $ dsp
        = 1025 vad off 1 sd off 0 bss off 0 ng off 0 mute off delays 0 0 0 gain 0
        = 1027 vad off 0 sd off 0 bss off 0 ng off 0 mute off delays 0 0 0 gain 0
    )");
    EXPECT_TRUE(m.server.errHas(
        "mixer [0]: error: selcal delay isn't supported for mixer!!! Set to zero.\n"));
}

// A tone or DSP receiver device that hangs up, or reads as its end, is
// closed with one line and polled no more; enabling detection again opens
// it again and its events come through.
TEST(MixerInputs, AReceiverDeviceThatEndsIsClosedOnceAndOpenedAgainByTheNextRequest) {
    struct Ending {
        char const* device;
        char const* line;
        char const* event;   // a board command sending an event for slot 5
        char const* signal;  // what the controller then hears
        std::vector<char const*> board_commands;
    };
    Ending const endings[] = {
        {"/dev/dtmf", "tonec interface closed: hang-up\n", "dtmf detect 1025 5 at 9",
         "{ slot 5, pdu signal : tonec : { timestamp 9, event dtmf : 5 } }",
         {"hangup dtmf", "dtmf short 0"}},
        {"/dev/dsp", "dsproc interface closed: hang-up\n", "dsp vad 1025 1 -",
         "{ slot 5, pdu signal : vad : { vad-rx TRUE } }", {"hangup dsp", "dsp short 0"}},
    };
    std::string const enabled = R"(
        + { seq 2, slot 5, pdu command : ioctl : dtmf-enable : TRUE }
        + { seq 3, slot 5, pdu command : ioctl : vad-enable : TRUE }
    )";
    for (Ending const& ending : endings)
        for (char const* board_command : ending.board_commands) {
            SCOPED_TRACE(board_command);
            Mixers m;
            m.run("+ { seq 1, slot 5, pdu command : create : mixerIn : { unit 0, channel tdm : 1 } "
                  "}\n" + enabled);
            std::string const opened = std::string(ending.device) + " present, opens 1";
            EXPECT_NE(boardTool(m.server.root(), "devices").find(opened), std::string::npos);
            boardTool(m.server.root(), board_command);
            ASSERT_TRUE(m.server.errHas(ending.line));
            // A descriptor left in the poll set would keep the loop busy.
            long const before = cpuTicks(m.server.pid());
            EXPECT_TRUE(m.controller.quietFor(300ms));
            EXPECT_LE(cpuTicks(m.server.pid()) - before, 10);
            EXPECT_EQ(occurrences(m.server.err(), ending.line), 1u);
            EXPECT_NE(boardTool(m.server.root(), "devices").find(std::string(ending.device) +
                                                                 " present, opens 0"),
                      std::string::npos);

            // What was on went with the device: enabling it again asks the
            // driver, on a new open.
            m.run(enabled + "$ " + ending.event + "\n< " + ending.signal + "\n");
            EXPECT_NE(boardTool(m.server.root(), "devices").find(opened), std::string::npos);
        }
}

// Every unit the driver lists is read, query after query, up to 100; a
// driver that lists more is cut there with a line.
TEST(MixerSlots, AQueryFindsEveryUnitOfABoardWithAHundredOfThem) {
    std::string board = "mixer remove 0\n";
    for (int unit = 0; unit < 100; ++unit)
        board += "mixer add " + std::to_string(unit) + " 4 8 " + std::to_string(4 * unit) + "\n";
    Connected c(board);
    for (int seq = 1; seq <= 4; ++seq) {
        SCOPED_TRACE(seq);
        if (seq == 4) {
            EXPECT_EQ(boardTool(c.server.root(), "mixer add 100 4 8 400"), "");
        }
        c.run(answered("+ { seq " + std::to_string(seq) + ", pdu command : query : NULL }"));
        std::string const report = nextMessage(c.controller);
        EXPECT_EQ(occurrences(report, "{ unit "), 100u) << report.substr(0, 200);
        EXPECT_NE(report.find("{ unit 99, tdm_inputs 4,"), std::string::npos);
        c.run(answered("+ { seq 10" + std::to_string(seq) + ", slot " + std::to_string(seq) +
                       ", pdu command : create : mixerIn : { unit 99, channel tdm : " +
                       std::to_string(seq - 1) + " } }"));
    }
    EXPECT_EQ(occurrences(c.server.err(),
                          "mixer: more than 100 units; unit 100 and those after it are not used\n"),
              1u);
}
