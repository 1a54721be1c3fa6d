#pragma once
// A LAPD entity of the tests on a virtual-time bench, with everything it
// does written to the bench's transcript: the frames it transmits, decoded
// ("u> I ns=0 nr=0 p=0 08 01"), its indications to layer 3, its faults and
// its state changes. Two ends on one bench run back to back; a lone end is
// given the far end's frames by the test, written down as they go in
// ("n> UA rsp f=1").

#include <string>
#include <vector>

#include "signalling/isdn/lapd.h"
#include "tests/support/bytes.h"
#include "tests/support/virtual_clock.h"

namespace support {

class LapdEnd : public ISDN::Lapd::Notify, public Bench::End {
public:
    LapdEnd(Bench& bench, std::string name, ISDN::LapdParams const& params);

    // Layer 3's requests, each written down.
    void establish();
    ISDN::Lapd::SendResult send(Bytes const& message);
    // Hands the entity a frame of the far end that the test plays, written
    // as hex ("02 01 73"), in storage of its own size so that a read past
    // its end shows under the sanitizers.
    void give(std::string const& frame);

    void LapdTransmit(uint8_t const* frame, size_t size) override;
    void LapdUp() override;
    void LapdDown() override;
    void LapdData(uint8_t const* message, size_t size) override;
    void LapdCongestion(bool congested) override;
    void LapdError(ISDN::ErrorCause cause, char const* text) override;

    void Take(Bytes const& frame) override;
    void Check() override;
    char const* TimerName(unsigned index) const override;

    // Frames this end sends are lost on the line while it says so.
    std::function<bool(Bytes const& frame)> lose;

    ISDN::Lapd lapd;
    std::vector<Bytes> received;
    std::string errors;  // the code letters, "-" for an invalid frame

private:
    void Write(std::string const& line) { bench.transcript.Add(name + ' ' + line); }
    ISDN::Lapd::State noted_ = ISDN::Lapd::State::tei_assigned;
};

// Reads the transcript's frames back with Wireshark's LAPD and Q.931
// dissectors (capture link type 203) and compares each with its line: the
// kind of frame, N(S), N(R), the P/F bit and the C/R bit that the sender
// ("u>" or "n>") sets for a command or response. Frames the transcript calls
// invalid are left out. "" when every frame is well-formed and agrees; else
// the first that does not.
std::string LapdDissectionDiffers(Transcript const& transcript);

}  // namespace support
