// The slot tests that wait out real time: voice peers that never answer
// (the 5-second connect time-out) and a T.38 program that never prints its
// instance count (the 1-second bound).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/slot_session.h"
#include "tests/support/t38_standin.h"
#include "tests/support/tcp_peer.h"

using namespace support;
using namespace std::chrono_literals;

TEST(VoicePeers, ThatNeverAnswerEndThePlayAndTheRecordingAfterFiveSeconds) {
    Connected c;
    // A listener whose queue is full: further connections get no answer.
    TcpPeer silent(0);
    int const filler = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(uint16_t(silent.port()));
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)), 0);
    std::string const host =
        "{ iaddr \"127.0.0.1\", port " + std::to_string(silent.port()) + " }";
    c.run(R"(
        > { seq 1, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
        < { seq 1, slot 1, pdu response : success : NULL }
        < { slot 1, pdu signal : transmitter : active : 37 }
        < { slot 1, pdu signal : receiver : active : 37 }
        > { seq 2, slot 2, pdu command : create : voice : player : network : { host )" + host + R"(, id 7 } }
        < { seq 2, slot 2, pdu response : success : NULL }
        > { seq 3, slot 3, pdu command : create : voice : record : )" + host + R"( }
        < { seq 3, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : receiver : active : 1025 }
        > { seq 4, slot 2, pdu command : connect : 1 }
        < { slot 2, pdu signal : transmitter : active : 1024 }
        < { seq 4, slot 2, pdu response : success : NULL }
        > { seq 5, slot 1, pdu command : connect : 3 }
        < { seq 5, slot 1, pdu response : success : NULL }
        ~ 4000
        < { slot 2, pdu signal : transmitter : inactive : NULL }
        < { slot 2, pdu signal : abort : 0 }
        < { slot 3, pdu signal : ioctl : stopRecording : connectionFail }
    )");
    EXPECT_TRUE(c.server.errHas("player[1024]: connection to " + silent.address() + " fail.\n"));
    EXPECT_TRUE(c.server.errHas("recorder[1025]: connection to " + silent.address() + " fail.\n"));
    ::close(filler);
}

TEST(T38Instances, ThatTheProgramNeverPrintsCountZeroAfterASecond) {
    Connected c;
    T38Standin t38(c.server.root(), "hang\n");
    auto const start = std::chrono::steady_clock::now();
    c.run("> { seq 1, pdu command : query : NULL }\n< { seq 1, pdu response : success : NULL }\n");
    EXPECT_TRUE(matches(nextMessage(c.controller),
                        "{ pdu signal : query : { ... t38-instances 0, ... } }"));
    auto const took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 2500ms);
    EXPECT_TRUE(c.server.errHas("t38: no answer within 1000 ms, no T38 resources counted\n"));
    // The server goes on serving, and counts again at the next report.
    t38.count("2\n");
    c.run(R"(
        > { seq 2, pdu command : query : NULL }
        < { seq 2, pdu response : success : NULL }
        < { pdu signal : query : { ... t38-instances 2, ... } }
    )");
}
