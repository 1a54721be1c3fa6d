// T.38 slots of the real server, with the stand-in T.38 program installed
// under the server's root.

#include <signal.h>

#include <gtest/gtest.h>

#include "tests/support/slot_session.h"
#include "tests/support/t38_standin.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

std::string create(int seq, int slot, std::string const& dhost, std::string const& args) {
    return "> { seq " + std::to_string(seq) + ", slot " + std::to_string(slot) +
           ", pdu command : create : t38soft : { dhost { iaddr \"" + dhost +
           "\", port 5000 }, shost { iaddr \"10.0.0.2\", port 6000 }, rx-packet-size 160, "
           "rx-threshold 2, tx-threshold 3, args { " + args + " } } }\n";
}

std::string query(int seq, int instances) {
    return "> { seq " + std::to_string(seq) + ", pdu command : query : NULL }\n"
           "< { seq " + std::to_string(seq) + ", pdu response : success : NULL }\n"
           "< { pdu signal : query : { ... mcc-trans " + std::to_string(32 - instances / 100) +
           ", ... t38-instances " + std::to_string(instances % 100) + ", ... } }\n";
}

}  // namespace

TEST(T38Slots, RunTheProgramOnTheirChannelAndReportItsEnd) {
    Connected c;
    T38Standin t38(c.server.root(), "4 instances\n");
    std::string const created = R"(
        < { slot 5, pdu signal : transmitter : active : 1024 }
        < { slot 5, pdu signal : receiver : active : 1024 }
    )";
    c.run(create(1, 5, "10.0.0.1", R"("-v", "two words")") +
          "< { seq 1, slot 5, pdu response : success : NULL }\n" + created +
          "$ log mcc/ctl MCC_ALLOCATE\n= mcc/ctl#1 MCC_ALLOCATE 2 160 0 2 3\n");
    int const first = T38Standin::started(c.server, 0);
    std::string const args = t38.program() + "\n--child\n--remote\n10.0.0.1/5000/6000\n";
    EXPECT_EQ(t38.kept(first, ".args", args + "-v\ntwo words\n"), args + "-v\ntwo words\n");
    EXPECT_EQ(boardTool(c.server.root(), "mcc send 1024 41 42 , 43"), "");
    EXPECT_EQ(t38.kept(first, ".in", "ABC"), "ABC");
    // The channel in use counts, the program reports its instances.
    c.run(query(2, 104));

    // Destroy signals the program and answers at once.
    c.run(R"(
        > { seq 3, slot 5, pdu command : destroy : NULL }
        < { seq 3, slot 5, pdu response : success : NULL }
        ~ 200
    )");
    EXPECT_EQ(t38.kept(first, ".term", "SIGTERM\n"), "SIGTERM\n");

    // The program's end while the slot lives is abort with the raw wait
    // status; its channel goes with it.
    c.run(create(4, 5, "10.0.0.1", "") + "< { seq 4, slot 5, pdu response : success : NULL }\n" +
          created);
    int const second = T38Standin::started(c.server, 1);
    ASSERT_TRUE(t38.running(second));
    ::kill(second, SIGUSR1);
    c.run(R"(
        < { slot 5, pdu signal : abort : 768 }
        $ mcc
        = free: data 32 of 32 bri 16 of 16 transparent 32 of 32
    )");
    EXPECT_TRUE(c.server.errHas("05:t38 soft: t38 daemon terminated with code=3\n"));
}

TEST(T38Slots, KeepTheRemoteArgumentAndTheVectorWithinTheirRoom) {
    Connected c;
    T38Standin t38(c.server.root(), "");
    // "<address>/5000/6000" must fit in 79 characters.
    std::string const fits(69, '1');
    std::string args;
    for (int i = 0; i < 30; ++i) args += (i ? ", \"" : "\"") + std::to_string(i) + "\"";
    c.run(create(1, 1, fits + "1", "") + R"(
        < { seq 1, slot 1, pdu response : error : insufficientResources }
    )" + create(2, 1, fits, args) + R"(
        < { seq 2, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : transmitter : active : 1024 }
        < { slot 1, pdu signal : receiver : active : 1024 }
    )");
    EXPECT_TRUE(c.server.errHas("t38soft: T38SoftFactory::INewSlot - remote address \"" + fits +
                                "1\" does not fit in 79 characters\n"));
    EXPECT_TRUE(c.server.errHas("t38soft: T38SoftFactory::INewSlot - 3 program arguments beyond "
                                "27 left out\n"));
    std::string expected = t38.program() + "\n--child\n--remote\n" + fits + "/5000/6000\n";
    for (int i = 0; i < 27; ++i) expected += std::to_string(i) + "\n";
    EXPECT_EQ(t38.kept(T38Standin::started(c.server, 0), ".args", expected), expected);
    // Nothing was allocated for the refused create.
    EXPECT_EQ(boardTool(c.server.root(), "log mcc/ctl MCC_ALLOCATE"),
              "mcc/ctl#1 MCC_ALLOCATE 2 160 0 2 3\n");
}

TEST(T38Slots, CountTheInstancesThatTheProgramPrints) {
    Connected c;
    T38Standin t38(c.server.root(), "");
    struct Case {
        char const* printed;
        int count;
        char const* line;
    } const cases[] = {
        {"12", 12, nullptr},
        {"none\n", 0, nullptr},
        {"", 0, "t38: can't detect T38 resources\n"},
    };
    int seq = 1;
    for (Case const& k : cases) {
        SCOPED_TRACE(k.printed);
        t38.count(k.printed);
        c.run(query(seq++, k.count));
        if (k.line) {
            EXPECT_TRUE(c.server.errHas(k.line));
        }
    }
    t38.uninstall();
    c.run(query(seq, 0));
    EXPECT_TRUE(c.server.errHas("t38 daemon not found!\n"));
}
