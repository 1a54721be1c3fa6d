#pragma once
// LAPD entities of the tests with everything they do recorded: the frames
// they transmit (as "u 00 01 7F", by the end's name, in one log shared by
// both ends), the messages they deliver, their up and down indications,
// congestion changes and error codes. A LapdLine joins two ends back to back
// through the main loop: each frame reaches the other end on the loop's next
// pass. A lone end's frames are only logged; the test hands it the peer's
// frames itself.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "runtime/loop/timer.h"
#include "signalling/isdn/lapd.h"
#include "tests/support/bytes.h"

namespace support {

class LapdEnd : public ISDN::Lapd::Notify {
public:
    LapdEnd(std::string name, ISDN::LapdParams const& params, std::vector<std::string>& log);

    // Hands the entity a frame written as hex ("02 01 73").
    void give(std::string const& frame);
    // Sends a message; the entity's answer.
    ISDN::Lapd::SendResult send(Bytes const& message);

    void LapdTransmit(uint8_t const* frame, size_t size) override;
    void LapdUp() override { ++ups; }
    void LapdDown() override {}
    void LapdData(uint8_t const* message, size_t size) override {
        received.emplace_back(message, message + size);
    }
    void LapdCongestion(bool congested) override { congestion.push_back(congested); }
    void LapdError(char code, char const*) override { errors += code; }

    std::string const name;
    std::vector<std::string>& log;
    ISDN::Lapd lapd;
    // Where transmitted frames go besides the log.
    std::function<void(Bytes const&)> out;
    std::vector<Bytes> received;
    int ups = 0;
    std::vector<bool> congestion;
    std::string errors;
};

class LapdLine {
public:
    LapdLine(LapdEnd& a, LapdEnd& b);

private:
    void carry(LapdEnd& from, Bytes const& frame);
    void deliver();

    struct InFlight {
        LapdEnd* to;
        Bytes frame;
    };
    LapdEnd& a_;
    LapdEnd& b_;
    std::deque<InFlight> in_flight_;
    Timer timer_;
};

}  // namespace support
