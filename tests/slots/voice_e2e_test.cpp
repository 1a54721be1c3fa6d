// Voice players and recorders of the real server: phrase files under the
// server's root, TCP peers on 127.0.0.1, and the MCC channels' line side
// through the board tool.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/slot_session.h"
#include "tests/support/tcp_peer.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

void writeFile(std::string const& path, std::string const& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The voice folder with phrases a = AA BB, b = CC, a folder "sub" holding
// c = DD, and a file beside the voice folder holding EE.
void makePhrases(std::string const& root) {
    std::string const voice = root + "/usr/local/voice";
    ::mkdir(voice.c_str(), 0755);
    ::mkdir((voice + "/sub").c_str(), 0755);
    writeFile(voice + "/a", "\xAA\xBB");
    writeFile(voice + "/b", "\xCC");
    writeFile(voice + "/sub/c", "\xDD");
    writeFile(root + "/usr/local/secret", "\xEE");
}

// A trunk slot for the players to play to.
char const trunk[] = R"(
    > { seq 1, slot 1, pdu command : create : trunk : { trunk 1, timeslot 5 } }
    < { seq 1, slot 1, pdu response : success : NULL }
    < { slot 1, pdu signal : transmitter : active : 37 }
    < { slot 1, pdu signal : receiver : active : 37 }
)";

}  // namespace

TEST(FilePlayers, PlayTheirPhrasesInOrderRepeatTimesSkippingWhatCannotBePlayed) {
    Connected c;
    makePhrases(c.server.root());
    c.run(std::string(trunk) + R"(
        > { seq 2, slot 2, pdu command : create : voice : player : file : { name { "a", "missing", "", "../secret", "sub/c", "sub", "..", "b" }, repeat 2 } }
        < { seq 2, slot 2, pdu response : success : NULL }
        $ log mcc/ctl MCC_ALLOCATE
        = mcc/ctl#1 MCC_ALLOCATE 2 1024 0 0 5
        > { seq 3, slot 2, pdu command : connect : 1 }
        < { slot 2, pdu signal : transmitter : active : 1024 }
        < { seq 3, slot 2, pdu response : success : NULL }
        < { slot 2, pdu signal : transmitter : inactive : NULL }
        < { slot 2, pdu signal : abort : 0 }
        $ mcc written 1024
        = AA BB CC AA BB CC
        $ mux 37
        = 37 = 0xd5
    )");
    // Nothing playable: the connect is refused and one abort follows.
    // Repeat 0 plays on until the player is destroyed.
    c.run(R"(
        > { seq 4, slot 3, pdu command : create : voice : player : file : { name { "missing", "../secret", "sub" }, repeat 1 } }
        < { seq 4, slot 3, pdu response : success : NULL }
        > { seq 5, slot 3, pdu command : connect : 1 }
        < { seq 5, slot 3, pdu response : error : connectFail }
        < { slot 3, pdu signal : abort : 0 }
        ~ 200
        > { seq 7, slot 4, pdu command : create : voice : player : file : { name { "b" }, repeat 0 } }
        < { seq 7, slot 4, pdu response : success : NULL }
        > { seq 8, slot 4, pdu command : connect : 1 }
        < { slot 4, pdu signal : transmitter : active : 1026 }
        < { seq 8, slot 4, pdu response : success : NULL }
    )");
    EXPECT_TRUE(waitFor(
        [&] { return boardTool(c.server.root(), "mcc written 1026").size() >= 3 * 100; }, 5s));
    c.run(R"(
        > { seq 9, slot 4, pdu command : destroy : NULL }
        < { seq 9, slot 4, pdu response : success : NULL }
        ~ 100
    )");
}

TEST(NetworkPlayers, SendTheirIdThenPlayThePeersStreamUntilItCloses) {
    Connected c;
    TcpPeer peer;
    c.run(std::string(trunk) + R"(
        > { seq 3, slot 3, pdu command : create : voice : player : network : { host { iaddr "127.0.0.1", port )" +
          std::to_string(peer.port()) + R"( }, id -2130574588 } }
        < { seq 3, slot 3, pdu response : success : NULL }
        > { seq 4, slot 3, pdu command : connect : 1 }
        < { slot 3, pdu signal : transmitter : active : 1024 }
        < { seq 4, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : ioctl : startPlaying : NULL }
    )");
    ASSERT_TRUE(peer.accept());
    EXPECT_EQ(text(peer.read(4)), "81 02 03 04");
    peer.write(hex("00 01 7F 80 FF 55"));
    peer.close();
    c.run(R"(
        < { slot 3, pdu signal : transmitter : inactive : NULL }
        < { slot 3, pdu signal : abort : 0 }
        $ mcc written 1024
        = 00 01 7F 80 FF 55
    )");
    EXPECT_FALSE(peer.accept(200ms));
    EXPECT_TRUE(c.server.errHas("player[1024]: connected to " + peer.address() + ".\n"));
    EXPECT_TRUE(c.server.errHas("player[1024]: connection to " + peer.address() + " closed.\n"));
}

TEST(Recorders, SendTheChannelToTheirPeerForEachNewSource) {
    Connected c;
    TcpPeer peer;
    std::string const host =
        "{ iaddr \"127.0.0.1\", port " + std::to_string(peer.port()) + " }";
    c.run(std::string(trunk) + R"(
        > { seq 2, slot 2, pdu command : create : voice : record : )" + host + R"( }
        < { seq 2, slot 2, pdu response : success : NULL }
        < { slot 2, pdu signal : receiver : active : 1024 }
        $ log mcc/ctl MCC_ALLOCATE
        = mcc/ctl#1 MCC_ALLOCATE 2 1024 0 5 0
        > { seq 3, slot 1, pdu command : connect : 2 }
        < { seq 3, slot 1, pdu response : success : NULL }
        $ mux 1024
        = 1024 <- 37
    )");
    ASSERT_TRUE(peer.accept());
    c.run("$ mcc send 1024 01 02 03 , 04");
    EXPECT_EQ(text(peer.read(4)), "01 02 03 04");
    // The channel's stream ends: the recording is complete.
    c.run("$ mcc end 1024\n< { slot 2, pdu signal : ioctl : stopRecording : userRequest }");
    EXPECT_TRUE(peer.closedByServer());
    // A new source opens a new connection.
    c.run(R"(
        > { seq 4, slot 2, pdu command : disconnect : NULL }
        < { seq 4, slot 2, pdu response : success : NULL }
        > { seq 5, slot 1, pdu command : connect : 2 }
        < { seq 5, slot 1, pdu response : success : NULL }
    )");
    ASSERT_TRUE(peer.accept());
    c.run("< { slot 2, pdu signal : ioctl : stopRecording : userRequest }");

    // A peer that goes away while the channel still sends: aborted.
    c.run(R"(
        > { seq 6, slot 3, pdu command : create : voice : record : )" + host + R"( }
        < { seq 6, slot 3, pdu response : success : NULL }
        < { slot 3, pdu signal : receiver : active : 1025 }
        > { seq 7, slot 1, pdu command : connect : 3 }
        < { seq 7, slot 1, pdu response : success : NULL }
    )");
    ASSERT_TRUE(peer.accept());
    peer.close();
    c.run("$ mcc send 1025 01 , 02 , 03\n"
          "< { slot 3, pdu signal : ioctl : stopRecording : connectionAborted }");
    EXPECT_TRUE(c.server.errHas("recorder[1025]: record aborted\n"));

    // A peer that refuses.
    RefusingPort const refusing;
    c.run(R"(
        > { seq 8, slot 4, pdu command : create : voice : record : { iaddr "127.0.0.1", port )" +
          std::to_string(refusing.port()) + R"( } }
        < { seq 8, slot 4, pdu response : success : NULL }
        < { slot 4, pdu signal : receiver : active : 1026 }
        > { seq 9, slot 1, pdu command : connect : 4 }
        < { seq 9, slot 1, pdu response : success : NULL }
        < { slot 4, pdu signal : ioctl : stopRecording : connectionFail }
    )");
}
