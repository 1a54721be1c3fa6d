// PSTN SS7 slots of the real server: two links on two MCC channels joined
// back to back on the simulated board.

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/slot_session.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// Short link timers and reports for the tests.
std::string const fast_links =
    "[signalling]\nss7.t1 = 400\nss7.t2 = 300\nss7.t3 = 200\nss7.t4n = 150\nss7.t4e = 40\n"
    "ss7.t6 = 200\nss7.t7 = 200\nss7.fill = 10\nreport = 300\n";

void configure(ServerProcess const& server, std::string const& text) {
    TempDir const dummy;
    std::string const dir = server.root() + "/usr/local/etc";
    std::system(("mkdir -p " + dir).c_str());
    std::ofstream(dir + "/server.conf") << text;
}

}  // namespace

TEST(Ss7Links, TwoLinksBackToBackComeUpAndCarryMessages) {
    ServerProcess server;
    configure(server, fast_links);
    ASSERT_TRUE(server.start());
    Controller controller;
    ASSERT_TRUE(controller.connect(server.port()));
    EXPECT_EQ(nextMessage(controller), "{ pdu signal : power : unknown }");
    runScript(server, controller, R"(
        > { seq 1, slot 1, pdu command : create : pstn : ss7 : { trunk 16, slc 0, dpc 1, opc 2, emergency FALSE } }
        < { seq 1, slot 1, pdu response : success : NULL }
        > { seq 2, slot 2, pdu command : create : pstn : ss7 : { trunk 48, slc 0, dpc 2, opc 1, emergency FALSE } }
        < { seq 2, slot 2, pdu response : success : NULL }
        > { seq 3, slot 1, pdu command : activate : empty : NULL }
        < { seq 3, slot 1, pdu response : success : NULL }
        > { seq 4, slot 2, pdu command : activate : empty : NULL }
        < { seq 4, slot 2, pdu response : success : NULL }
        $ mcc join 1024 1025
        < { slot 1, pdu signal : activated : NULL }
        < { slot 2, pdu signal : activated : NULL }
        > { seq 5, slot 1, pdu command : userData : '030102'H }
        < { seq 5, slot 1, pdu response : success : NULL }
        < { slot 2, pdu signal : userData : '03 01 02'H }
    )");
}
