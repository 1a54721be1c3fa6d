#pragma once
// An SS7 link of the tests on a virtual-time bench, with everything it does
// written to the bench's transcript: the signal units it sends, decoded
// ("a> LSSU SIN bsn 127/1 fsn 127/1"), what it tells its user, and its
// traces (state changes with their reasons, by default). Two ends on one
// bench run back to back; a lone end is given the far end's units by the
// test, written down as they go in ("z> FISU bsn 0/1 fsn 127/1").

#include <functional>
#include <string>
#include <vector>

#include "signalling/ss7/mtp2_link.h"
#include "tests/support/bytes.h"
#include "tests/support/virtual_clock.h"

namespace support {

class Mtp2End : public Ss7::Mtp2Link::User, public Bench::End {
public:
    // On the test timers (see mtp2_link_test.cpp).
    Mtp2End(Bench& bench, std::string name);

    void start(bool emergency = false);
    bool send(Bytes const& msu);
    // Hands the link a unit of the far end "z" that the test plays (hex), in
    // storage of its own size.
    void give(std::string const& unit);

    void Transmit(uint8_t const* unit, size_t size) override;
    void OnMessage(uint8_t const* msu, size_t size) override;
    void OnInService() override;
    void OnOutOfService() override;
    void OnTrace(std::string const& line) override;

    void Take(Bytes const& unit) override;
    void Check() override {}
    char const* TimerName(unsigned index) const override;

    // Units this end sends are lost on the line while it says so.
    std::function<bool(Bytes const& unit)> lose;

    Ss7::Mtp2Link link;
    std::vector<Bytes> received;

private:
    void Write(std::string const& line) { bench.transcript.Add(name + ' ' + line); }
};

// Reads the transcript's units back with Wireshark's MTP2 dissector
// (capture link type 140, and MTP3 on the message units) and compares each
// with its line: BSN, BIB, FSN, FIB, LI and a status unit's status. Units the
// transcript calls malformed are left out. "" when every unit is well-formed
// and agrees; else the first that does not.
std::string Mtp2DissectionDiffers(Transcript const& transcript);

}  // namespace support
