// The D-channel frame printer on real call-control messages and on broken
// ones, each compared as the whole log line.

#include "signalling/isdn/dlogframe.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/bytes.h"

using support::hex;

namespace {

std::string Printed(char const* direction, std::string const& octets) {
    // The message is copied to storage of its own size so that a read past
    // its end is caught by the address sanitizer.
    support::Bytes const bytes = hex(octets);
    std::unique_ptr<uint8_t[]> const exact(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    std::ostringstream os;
    ISDN::dlogframe(os, direction, exact.get(), bytes.size());
    return os.str();
}

}  // namespace

TEST(Dlogframe, WritesCallControlMessagesByNameAndStopsAtTheEndOfBrokenOnes) {
    struct Case {
        char const* direction;
        char const* octets;
        char const* line;
    };
    Case const cases[] = {
        {"tx", "08 02 00 05 05 04 03 80 90 A3 18 03 A9 83 81 6C 04 21 81 31 32 70 04 81 35 36 37 A1",
         "tx pd 08 cr 5 flag 0 SETUP | Bearer capability: 80 90 A3 | Channel identification: A9 "
         "83 81 | Calling party number: 21 81 31 32 | Called party number: 81 35 36 37 | Sending "
         "complete: A1\n"},
        {"tx", "08 01 85 45 08 02 80 90 1E 02 81 88",
         "tx pd 08 cr 5 flag 1 DISCONNECT | Cause: 80 90 | Progress indicator: 81 88\n"},
        {"tx", "08 00 7B 2C 01 31", "tx pd 08 cr dummy INFORMATION | Keypad facility: 31\n"},
        {"rx", "08 01 05 05 04 05 80 90", "rx pd 08 cr 5 flag 0 SETUP | malformed: 04 05 80 90\n"},
        {"rx", "08 01 05 05 04", "rx pd 08 cr 5 flag 0 SETUP | malformed: 04\n"},
        {"rx", "08 02 00", "rx pd 08 malformed: 02 00\n"},
        {"rx", "08", "rx pd 08 malformed:\n"},
        {"rx", "", "rx empty message\n"},
    };
    for (Case const& c : cases) EXPECT_EQ(Printed(c.direction, c.octets), c.line) << c.octets;
}
