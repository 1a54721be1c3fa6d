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

TEST(Dlogframe, WritesACallControlMessageWithItsElementsByName) {
    struct Case {
        char const* octets;
        char const* line;
    };
    Case const cases[] = {
        {"08 02 00 05 05 04 03 80 90 A3 18 03 A9 83 81 6C 04 21 81 31 32 70 04 81 35 36 37 A1",
         "tx pd 08 cr 5 flag 0 SETUP | Bearer capability: 80 90 A3 | Channel identification: A9 "
         "83 81 | Calling party number: 21 81 31 32 | Called party number: 81 35 36 37 | Sending "
         "complete: A1\n"},
        {"08 02 80 05 0F", "tx pd 08 cr 5 flag 1 CONNECT ACKNOWLEDGE\n"},
        {"08 01 85 45 08 02 80 90 1E 02 81 88",
         "tx pd 08 cr 5 flag 1 DISCONNECT | Cause: 80 90 | Progress indicator: 81 88\n"},
        {"08 02 00 00 46 18 03 A9 83 81 79 01 80",
         "tx pd 08 cr 0 flag 0 RESTART | Channel identification: A9 83 81 | Restart indicator: "
         "80\n"},
        {"08 00 7B 2C 01 31", "tx pd 08 cr dummy INFORMATION | Keypad facility: 31\n"},
        {"08 02 12 34 5A 28 00", "tx pd 08 cr 4660 flag 0 RELEASE COMPLETE | Display:\n"},
    };
    for (Case const& c : cases) EXPECT_EQ(Printed("tx", c.octets), c.line) << c.octets;
}

TEST(Dlogframe, WritesWhatItDoesNotKnowOrCannotReadAsOctetsAndStopsAtTheEnd) {
    struct Case {
        char const* octets;
        char const* line;
    };
    Case const cases[] = {
        // Elements of another codeset after a locking and a non-locking shift.
        {"08 01 05 7D 14 01 80 9E 2A 01 07 14 01 80 96 2A 02 01 02 D1",
         "rx pd 08 cr 5 flag 0 STATUS | Call state: 80 | Shift: 9E | codeset 6 ie 2A: 07 | Call "
         "state: 80 | Shift: 96 | codeset 6 ie 2A: 01 02 | Repeat indicator: D1\n"},
        {"08 01 05 77 33 01 FF 8C",
         "rx pd 08 cr 5 flag 0 message type 77 | ie 33: FF | ie 8C: 8C\n"},
        {"08 01 05 05 04 05 80 90", "rx pd 08 cr 5 flag 0 SETUP | malformed: 04 05 80 90\n"},
        {"08 01 05 05 04", "rx pd 08 cr 5 flag 0 SETUP | malformed: 04\n"},
        {"08 02 00", "rx pd 08 malformed: 02 00\n"},
        {"08 03 00 05", "rx pd 08 malformed: 03 00 05\n"},
        {"08 25 00 05", "rx pd 08 malformed: 25 00 05\n"},
        {"08", "rx pd 08 malformed:\n"},
        {"", "rx empty message\n"},
        {"41 01 02", "rx pd 41: 01 02\n"},
        {"08 05 01 02 03 04 05 05", "rx pd 08 cr 01 02 03 04 05 SETUP\n"},
    };
    for (Case const& c : cases) EXPECT_EQ(Printed("rx", c.octets), c.line) << c.octets;
}
