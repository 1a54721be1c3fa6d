// The radio controls on an extended session of the simulated board's
// /dev/rtp_ext, in process: what each control transmits, what it reports of
// the received signalling, the keep-alive timing of ED-137 and the records
// and commands it drops or refuses.

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/coders/avn_encoder.h"
#include "hardware/device/rtp_ext_driver.h"
#include "rtp/radio/ed137_radio_gw_control.h"
#include "rtp/radio/kvel_radio_gw_control.h"
#include "rtp/radio/rtp_ext_session.h"
#include "tests/support/board.h"
#include "tests/support/capture.h"
#include "tests/support/loop.h"
#include "tests/support/radio_values.h"
#include "tests/support/temp_root.h"

using support::board;
using support::runUntil;
using PTT = TERM::ED137RadioPTT;

namespace {

support::TempRoot const root;

struct Notes : RTPSignalling::IRadioControlNotify {
    void RadioControlNotify(TERM::RtpRadioRequest const& request) override {
        reports.push_back(request);
    }
    void RadioControlNotify(int cause) override { causes.push_back(cause); }

    std::vector<TERM::RtpRadioRequest> reports;
    std::vector<int> causes;
};

// A started session with its control, as a radio slot holds them; `number`
// is the session's number on the board.
template <class Control>
struct Radio {
    template <class... Params>
    Radio(uint16_t etype, Params const&... params) : control(session, notes, params...) {
        EXPECT_TRUE(session.Open(etype, 7, 99, std::cerr));
        EXPECT_TRUE(session.StartStream());
        session.SetControl(&control);
        control.Start();
        std::istringstream sessions(board("rtpext"));
        for (std::string line; std::getline(sessions, line);)
            number = line.substr(0, line.find(' '));
    }

    std::string written(std::string const& kind = "") {
        return board("rtpext written " + number + (kind.empty() ? "" : " " + kind));
    }
    std::string inject(std::string const& what) { return board("rtpext " + what); }
    // The line of this session in the board's list.
    std::string state() {
        std::istringstream sessions(board("rtpext"));
        for (std::string line; std::getline(sessions, line);)
            if (line.compare(0, number.size() + 1, number + " ") == 0) return line;
        return "";
    }

    Notes notes;
    RTPSignalling::RtpExtSession session{"rtp ext[1]"};
    Control control;
    std::string number;
};

std::string const kvel_status =
    "00 00 00 03 01 55 02 00 01 2C 00 00 00 00 00 07 05 31 31 38 2E 35 04 09 02 05 01 06 00";

TERM::ED137RadioStatus ed137Status(TERM::ED137RadioHeader const& header,
                                   TERM::ED137RadioExtensionSQI const* sqi = nullptr) {
    TERM::ED137RadioStatus status;
    status.set_header(header);
    if (sqi) status.set_sqi(*sqi);
    return status;
}

RTPSignalling::ED137SessionParams sessionParams(unsigned period, unsigned multiplier,
                                                unsigned ptt_id, unsigned rtphe) {
    TERM::ED137RadioResponse response;
    response.set_type(TERM::ED137RadioType::radio_txrx);
    response.set_txrxmode(TERM::ED137RadioTxRxMode::txrx);
    response.set_r2s_keepalive_period(period);
    response.set_r2s_keepalive_multiplier(multiplier);
    response.set_ptt_id(ptt_id);
    response.set_rtphe(rtphe);
    return RTPSignalling::ED137SessionParams(response);
}

}  // namespace

TEST(KvelRadioControl, SendsEachCommandAsOneRecordAndRefusesAnED137Command) {
    support::StreamCapture errors(std::cerr);
    Radio<RTPSignalling::KvelRadioGWControl> radio(RtpExt::etype_kvel);
    for (int index = 0; index < 20; ++index)
        EXPECT_TRUE(radio.control.Command(support::kvelModifier(index)));
    TERM::ED137RadioHeader const header = support::ed137Header(PTT::normal_ptt_on, false, 1);
    EXPECT_FALSE(radio.control.Command(support::ed137Tx(header)));

    EXPECT_TRUE(runUntil([&] { return radio.state().find("kvel 20 ") != std::string::npos; }))
        << radio.state();
    EXPECT_EQ(radio.state(), radio.number +
                                 " kvel attached 7/99 started, sent voice 0 keepalive 0 kvel 20 "
                                 "other 0, while stopped 0");
    std::string const all = radio.written("kvel");
    EXPECT_EQ(all.substr(0, all.find('\n')),
              "kvel 00 00 00 00 CA FE 00 01 08 31 30 2E 30 2E 30 2E 31 00 00 00 03 01 55 02 00 01 "
              "2C 00 00");
    EXPECT_EQ(all.substr(all.rfind('\n', all.size() - 2) + 1),
              "kvel 13 00 00 00 CA FE 00 01 08 31 30 2E 30 2E 30 2E 31 01 06 00\n");
    EXPECT_EQ(errors.text(), "Kvel radio control: rtpExt refused: not a Kvel radio command\n");
}

TEST(KvelRadioControl, ReportsReceivedStatusesAndFailuresAndDropsWhatIsNotAWholeStatus) {
    support::StreamCapture errors(std::cerr);
    Radio<RTPSignalling::KvelRadioGWControl> radio(RtpExt::etype_kvel);
    EXPECT_EQ(radio.inject("raw " + radio.number + " 00 03 00"), "");
    EXPECT_EQ(radio.inject("raw " + radio.number + " 00 03 00 10 01 02"), "");
    EXPECT_EQ(radio.inject("receive " + radio.number + " voice 01 67 00 01 00 00 00 00"), "");
    EXPECT_EQ(radio.inject("receive " + radio.number + " kvel " + kvel_status + " 00"), "");
    EXPECT_EQ(radio.inject("receive " + radio.number + " kvel " + kvel_status), "");
    EXPECT_EQ(radio.inject("fail " + radio.number + " 77"), "");
    EXPECT_TRUE(runUntil([&] { return !radio.notes.causes.empty(); }));

    ASSERT_EQ(radio.notes.reports.size(), 1u);
    TERM::RadioStatus const& status = radio.notes.reports[0].get_status();
    ASSERT_TRUE(status.kvel_isSelected());
    EXPECT_EQ(status.get_kvel(), support::kvelStatus()) << status;
    EXPECT_FALSE(radio.notes.reports[0].request_isPresent());
    EXPECT_EQ(radio.notes.causes, std::vector<int>{77});
    EXPECT_EQ(errors.text(),
              "Kvel radio control: dropped: record of 3 bytes is shorter than its header\n"
              "Kvel radio control: dropped: record length 16 runs past its 2 bytes of data\n"
              "Kvel radio control: dropped: record of kind 1 on a Kvel radio session\n"
              "Kvel radio control: dropped: 1 bytes follow the 29-byte status\n"
              "Kvel radio control: radio failure, cause 77\n");
}

TEST(ED137RadioControl, SendsKeepAlivesAtThePeriodWithTheCommandedExtension) {
    support::StreamCapture errors(std::cerr);
    auto const started = support::Clock::now();
    Radio<RTPSignalling::ED137RadioGWControl> radio(RtpExt::etype_ed137,
                                                    sessionParams(40, 50, 9, 0));
    // The first keep-alive goes at once, with the session's PTT-id 9 in the
    // first version's extension.
    EXPECT_EQ(radio.written(), "keepalive 00 67 00 01 02 40 00 00\n");
    support::runFor(400);
    long const elapsed = support::elapsedMs(started);
    std::string const state = radio.state();
    size_t const at = state.find("keepalive ") + 10;
    long const sent = std::stol(state.substr(at));
    EXPECT_GE(sent, elapsed / 40 - 2) << state;
    EXPECT_LE(sent, elapsed / 40 + 1) << state;

    TERM::ED137RadioHeader const talk = support::ed137Header(PTT::priority_ptt_on, true, 9);
    TERM::ED137RadioExtensionSQI const sqi = support::ed137Sqi(TERM::ED137RadioBSSMethod::rssi, 20);
    EXPECT_TRUE(radio.control.Command(support::ed137Rx(talk, &sqi)));
    EXPECT_EQ(radio.written("voice"), "voice 00 67 00 01 72 41 11 A0\n");
    board("rtpext clear " + radio.number);
    EXPECT_TRUE(runUntil([&] { return radio.written("keepalive") != ""; }));
    EXPECT_EQ(radio.written().substr(0, 35), "keepalive 00 67 00 01 72 41 11 A0\n");

    TERM::ED137RadioHeader const wide = support::ed137Header(PTT::normal_ptt_on, false, 64);
    TERM::ED137RadioExtensionSQI const loud = support::ed137Sqi(TERM::ED137RadioBSSMethod::agc, 32);
    EXPECT_FALSE(radio.control.Command(support::ed137Tx(wide)));
    EXPECT_FALSE(radio.control.Command(support::ed137Rx(talk, &loud)));
    EXPECT_FALSE(radio.control.Command(support::kvelModifier(2)));
    EXPECT_TRUE(radio.control.Command(support::ed137Tx(talk)));
    EXPECT_EQ(radio.written("voice"), "voice 00 67 00 01 72 40 00 00\n");
    EXPECT_EQ(errors.text(),
              "ED137 radio control: rtpExt refused: PTT-id 64 is above 63\n"
              "ED137 radio control: rtpExt refused: BSS quality 32 is above 31\n"
              "ED137 radio control: rtpExt refused: not an ED-137 radio command\n");
}

TEST(ED137RadioControl, ReportsChangesOfThePeerAndItsSilenceOncePerSilence) {
    support::StreamCapture errors(std::cerr);
    Radio<RTPSignalling::ED137RadioGWControl> radio(RtpExt::etype_ed137,
                                                    sessionParams(20, 3, 0, 1));
    std::string const squelch = "01 67 00 01 10 00 00 00";
    std::string const quality = "01 67 00 01 10 01 11 4A";
    radio.inject("receive " + radio.number + " keepalive " + squelch);
    radio.inject("receive " + radio.number + " voice " + squelch);
    radio.inject("receive " + radio.number + " voice 01 67 00 02 10 00 00 00");
    radio.inject("receive " + radio.number + " voice " + quality);
    EXPECT_TRUE(runUntil([&] { return radio.notes.reports.size() == 2; }));
    EXPECT_TRUE(runUntil([&] { return !radio.notes.causes.empty(); }, 500));
    support::runFor(150);
    EXPECT_EQ(radio.notes.causes,
              std::vector<int>{TERM::ED137CauseCode::radio_missing_r2s_keepalive});

    // Heard again: the same extension is reported again, and a new silence
    // is told again.
    radio.inject("receive " + radio.number + " keepalive " + quality);
    EXPECT_TRUE(runUntil([&] { return radio.notes.causes.size() == 2; }, 500));
    ASSERT_EQ(radio.notes.reports.size(), 3u);

    TERM::ED137RadioHeader const open = support::ed137Header(PTT::ptt_off, true, 0);
    TERM::ED137RadioExtensionSQI const sqi = support::ed137Sqi(TERM::ED137RadioBSSMethod::c_n, 9);
    EXPECT_EQ(radio.notes.reports[0].get_status().get_ed_137(), ed137Status(open));
    EXPECT_EQ(radio.notes.reports[1].get_status().get_ed_137(), ed137Status(open, &sqi));
    EXPECT_EQ(radio.notes.reports[2].get_status().get_ed_137(), ed137Status(open, &sqi));
    EXPECT_EQ(errors.text(),
              "ED137 radio control: dropped: extension length of 2 words runs past its 8 bytes\n"
              "ED137 radio control: no R2S keep-alive from the peer for 60 ms\n"
              "ED137 radio control: radio failure, cause 2001\n"
              "ED137 radio control: no R2S keep-alive from the peer for 60 ms\n"
              "ED137 radio control: radio failure, cause 2001\n");
}

TEST(RtpExtSession, ClosesOnAFailedStepOrAnEndedSessionAndStopsTheControl) {
    support::StreamCapture errors(std::cerr);
    Notes notes;
    RTPSignalling::RtpExtSession session("rtp ext[3]");
    RTPSignalling::ED137RadioGWControl control(session, notes, sessionParams(20, 50, 0, 1));
    session.SetControl(&control);
    board("fail rtp_ext RTP_EXT_ATTACH EINVAL 1");
    std::ostringstream failure;
    EXPECT_FALSE(session.Open(RtpExt::etype_ed137, 5, 1, failure));
    EXPECT_EQ(failure.str(), "RTP_EXT_ATTACH fail: Invalid argument\n");
    EXPECT_FALSE(session.IsOpen());
    EXPECT_EQ(board("rtpext"), "");

    ASSERT_TRUE(session.Open(RtpExt::etype_ed137, -1, -1, std::cerr));
    control.Start();
    // Nothing is delivered to a stopped stream, and what the server sends
    // then never reaches the radio.
    std::string const number = board("rtpext").substr(0, board("rtpext").find(' '));
    EXPECT_EQ(board("rtpext fail " + number + " 5"),
              "error: session " + number + " is not started\n");
    EXPECT_EQ(board("rtpext"), number +
                                   " ed137 unattached stopped, sent voice 0 keepalive 0 kvel 0 "
                                   "other 0, while stopped 1\n");
    EXPECT_TRUE(session.StartStream());
    board("hangup rtp_ext");
    EXPECT_TRUE(runUntil([&] { return !notes.causes.empty(); }));
    EXPECT_FALSE(session.IsOpen());
    // The keep-alives end with the session.
    support::runFor(100);
    EXPECT_EQ(notes.causes, std::vector<int>{EPIPE});
    TERM::ED137RadioHeader const talk = support::ed137Header(PTT::normal_ptt_on, false, 1);
    EXPECT_FALSE(control.Command(support::ed137Tx(talk)));
    EXPECT_EQ(errors.text(),
              "rtp ext[3]: rtp_ext ended the session\n"
              "ED137 radio control: radio failure, cause 32\n"
              "ED137 radio control: signalling of kind 1 not sent\n");
}
