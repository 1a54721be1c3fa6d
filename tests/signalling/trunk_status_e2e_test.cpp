// Signalling slots of the real server following the status of their trunk:
// the E1 service reports the E1 trunks and the SPI service the BRI ports,
// both numbered from 0, and each slot follows its own trunk of its own kind.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/board_tool.h"
#include "tests/support/script.h"
#include "tests/support/signalling_session.h"
#include "tests/support/ss7_peer.h"

using namespace support;

namespace {

// The session's links, with LAPD waiting long for the far end's answer so
// that a link asked for stays asked for.
std::string slowLapd() {
    std::string config = fast_links;
    std::string const t200 = "isdn.t200 = 60\n";
    config.replace(config.find(t200), t200.size(), "isdn.t200 = 30000\n");
    return config;
}

// Reads until each of the trunk statuses ("bri 0 lossCarrier") has come
// twice; the activated and deactivated signals that came meanwhile, sorted.
std::vector<std::string> linkSignalsUntil(SignallingSession& s,
                                          std::vector<std::string> const& statuses) {
    std::map<std::string, int> seen;
    std::vector<std::string> signals;
    auto const done = [&] {
        return std::all_of(statuses.begin(), statuses.end(),
                           [&](std::string const& st) { return seen[st] >= 2; });
    };
    LGCP::Message m;
    while (!done() && s.controller.readMessage(m)) {
        std::string const text = brief(m);
        for (std::string const& st : statuses)
            if (text.compare(0, st.size() + 1, st + " ") == 0) ++seen[st];
        std::string const line = oneLine(m);
        if (line.find("activated") != std::string::npos) signals.push_back(line);
    }
    EXPECT_TRUE(done()) << "the trunk statuses did not come";
    std::sort(signals.begin(), signals.end());
    return signals;
}

std::string down(int slot) {
    return "{ slot " + std::to_string(slot) + ", pdu signal : deactivated : networkError }";
}

}  // namespace

TEST(TrunkStatus, TakesDownTheSlotsOfTheTrunkOfTheirOwnKindOnly) {
    SignallingSession s("", slowLapd());
    // Slot 1: an SS7 link on timeslot 16 of E1 trunk 0, in service with the peer.
    s.run(command(1, 1, "create : pstn : ss7 : { trunk 16, slc 1, dpc 1, opc 2, emergency FALSE }") +
          activate(2, 1));
    Ss7Peer peer(s.lineSocket(1024));
    ASSERT_TRUE(peer.connected());
    EXPECT_EQ(s.next(), "{ slot 1, pdu signal : activated : NULL }");
    // Slot 2 on E1 trunk 1, slot 3 on E1 trunk 2, slot 4 on E1 trunk 3 and
    // slot 5 on BRI port 1.
    s.run(command(3, 2, "create : hdlcParams : { trunk 37, log 0, address -1 }") + activate(4, 2) +
          command(5, 3, "create : pstn : cas : { trunk 69 }") + R"(
        > { seq 6, slot 3, pdu command : activate : empty : NULL }
        < { slot 3, pdu signal : cas : { channel { path 2, timeslot 0 }, rx 0, tx 0 } }
        < { slot 3, pdu signal : cas : { channel { path 2, timeslot 5 }, rx ..., tx 9 } }
        < { seq 6, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : activated : NULL }
    )" + command(7, 4, "create : pstn : isdn : { type pri, trunk 3, log 0, side user : NULL }") +
          activate(8, 4) +
          command(9, 5, "create : pstn : isdn : { type bri, trunk 1, log 0, side user : NULL }") +
          activate(10, 5));

    // Alarms on BRI ports 0 to 3 take down the link on port 1 alone.
    for (char const* port : {"0", "1", "2", "3"})
        EXPECT_EQ(s.board(std::string("spi ") + port + " 51 0"), "");
    EXPECT_EQ(linkSignalsUntil(s, {"bri 0 lossCarrier", "bri 1 lossCarrier", "bri 2 lossCarrier",
                                   "bri 3 lossCarrier", "e1 0 normal"}),
              std::vector<std::string>{down(5)});
    EXPECT_TRUE(peer.seen().in_service);
    EXPECT_TRUE(s.server.errHas("05:pstn: BRI port 1 has left the normal state\n"));
    EXPECT_EQ(occurrences(s.server.err(), "has left the normal state"), 1u);

    // Port 1 back to normal and its link asked for again; alarms on E1
    // trunks 0 to 3 take down the others and leave it.
    for (char const* port : {"0", "1", "2", "3"})
        EXPECT_EQ(s.board(std::string("spi ") + port + " 51 0xC5"), "");
    s.run(activate(11, 5));
    for (char const* trunk : {"0", "1", "2", "3"})
        EXPECT_EQ(s.board(std::string("e1 ") + trunk + " state ais"), "");
    EXPECT_EQ(linkSignalsUntil(s, {"e1 0 ais", "e1 1 ais", "e1 2 ais", "e1 3 ais", "bri 1 normal"}),
              (std::vector<std::string>{down(1), down(2), down(3), down(4)}));
    EXPECT_TRUE(s.server.errHas("01:pstn: trunk 0 has left the normal state\n"));
    EXPECT_EQ(occurrences(s.server.err(), "has left the normal state"), 5u);
}
