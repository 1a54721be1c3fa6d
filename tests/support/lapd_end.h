#pragma once
// A LAPD entity of the tests with everything it does recorded: the frames
// it transmits (as "u 00 01 7F", by the end's name), the messages it
// delivers, its up indications, congestion changes and error codes. Nothing
// carries its frames: the test hands it the peer's frames itself.

#include <string>
#include <vector>

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
    std::vector<Bytes> received;
    int ups = 0;
    std::vector<bool> congestion;
    std::string errors;
};

}  // namespace support
