// The PPP helper link of the real server: frames of helpers on 127.0.0.1:52000
// reach the controller as modemProceeding signals of the slot of their
// session, and an activation goes back to the helper of that session.

#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include "tests/support/modem_harness.h"
#include "tests/support/board_tool.h"
#include "tests/support/harness.h"
#include "slots/ppp_helper_frame.h"

using namespace support;
using namespace std::chrono_literals;

namespace {

// Every byte a stand-in received from the helper port, as one hex text.
std::string received(std::string const& log) {
    std::string all;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("received ", 0) == 0) all += (all.empty() ? "" : " ") + line.substr(9);
    return all;
}

Bytes operator+(Bytes a, Bytes const& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A frame of that length and type with a zeroed body.
Bytes frame(uint32_t length, uint32_t type, uint32_t session, size_t size) {
    Bytes out(size, 0);
    for (int i = 0; i < 4; ++i) {
        out[size_t(i)] = uint8_t(length >> (24 - 8 * i));
        if (size >= 12) out[size_t(4 + i)] = uint8_t(type >> (24 - 8 * i));
        if (size >= 12) out[size_t(8 + i)] = uint8_t(session >> (24 - 8 * i));
    }
    return out;
}

char const incoming[] = "incoming auth connection from";

}  // namespace

TEST(PppHelperLink, CarriesTheDaemonsSessionBetweenItsHelperAndTheController) {
    ModemServer s("", true);
    PppHelper::Bytes const acct = PppHelper::AccountingFrame(
        0, {0x100000002ull, 5, 7, 0xFFFFFFFFull, 60});
    // Two frames in one write, then one more.
    s.standins.tell(pppd_program,
                    "send " + text(authFrame(0, "alice", "secret") + Bytes(acct.begin(), acct.end())) +
                        "\nsend " + text(authFrame(0, std::string(64, 'u'), "pw")) + "\n");
    s.run(std::string(modem_on_trunk) + R"(
        < { slot 2, pdu signal : modemProceeding : auth : { username "alice", password "secret" } }
        < { slot 2, pdu signal : modemProceeding : acct : { octetsOut { low 2, high 1 }, octetsIn { low 5, high 0 }, packetsOut { low 7, high 0 }, packetsIn { low -1, high 0 }, time { low 60, high 0 } } }
        < { slot 2, pdu signal : modemProceeding : auth : { username "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu", password "pw" } }
        > { seq 4, slot 2, pdu command : activate : modem : { remoteAddr "10.0.0.2", netmask "255.255.255.0", gateway "10.0.0.1", dns "no address", mtu 1500 } }
        < { seq 4, slot 2, pdu response : success : NULL }
    )");
    ASSERT_TRUE(s.standins.waitRuns(1));
    pid_t const daemon = s.standins.runs()[0].pid;
    std::string const answer =
        "00 00 00 10 00 00 00 02 00 00 00 00 00 00 00 01 "
        "00 00 00 24 00 00 00 03 00 00 00 00 00 00 00 00 "
        "0A 00 00 02 FF FF FF 00 0A 00 00 01 FF FF FF FF 00 00 05 DC";
    EXPECT_TRUE(waitFor([&] { return received(s.standins.log(daemon)) == answer; }, 3s))
        << s.standins.log(daemon);
    // Any other activation is refused and sends nothing.
    s.run(R"(
        > { seq 5, slot 2, pdu command : activate : empty : NULL }
        < { seq 5, slot 2, pdu response : error : unsupported }
        > { seq 6, slot 2, pdu command : destroy : NULL }
        < { seq 6, slot 2, pdu response : success : NULL }
    )");
    EXPECT_TRUE(s.server.errHas("02:dsp-modem: modem's activation requests parameter.\n"));
    EXPECT_TRUE(s.standins.logHas(daemon, "hup\n"));
    EXPECT_EQ(received(s.standins.log(daemon)), answer);
}

TEST(PppHelperLink, ReassemblesFramesRoutesThemBySessionAndClosesOnBadLengths) {
    ModemServer s("", true);
    s.run(std::string(modem_on_trunk) + R"(
        > { seq 4, slot 3, pdu command : create : modem : { cid "", cdid "", ddm { ddmV110 } } }
        < { seq 4, slot 3, pdu response : success : NULL }
    )");
    HelperConnection helper;
    ASSERT_TRUE(helper.connect());
    // A frame split across writes is one frame.
    Bytes const whole = authFrame(0, "bob", "pw");
    helper.send(Bytes(whole.begin(), whole.begin() + 3));
    EXPECT_TRUE(s.controller.quietFor(100ms));
    helper.send(Bytes(whole.begin() + 3, whole.end()));
    // Session -1 goes to the first slot without a modem number: the digital
    // modem.
    helper.send(authFrame(0xFFFFFFFF, "dora", "x"));
    s.run(R"(
        < { slot 2, pdu signal : modemProceeding : auth : { username "bob", password "pw" } }
        < { slot 3, pdu signal : modemProceeding : auth : { username "dora", password "x" } }
    )");
    // Frames the slot cannot take are logged; the connection stays.
    helper.send(frame(139, 1, 0, 139) + frame(63, 4, 0, 63) + frame(16, 9, 0, 16) +
                frame(140, 1, 7, 140) + authFrame(0, "carol", "pw"));
    s.run(R"(
        < { slot 2, pdu signal : modemProceeding : auth : { username "carol", password "pw" } }
    )");
    for (char const* line : {"02:dsp-modem: auth request, invalid size: 139\n",
                             "02:dsp-modem: auth accounting, invalid size: 63\n",
                             "02:dsp-modem: unknown request from portslave: 0x9\n",
                             "receive auth request for unknown session 7\n"})
        EXPECT_TRUE(s.server.errHas(line)) << line;

    // A length outside 12 to 512 closes the connection.
    struct BadLength {
        uint32_t length;
        size_t sent;
    };
    for (BadLength const bad : {BadLength{3, 4}, BadLength{11, 12}, BadLength{513, 16}}) {
        SCOPED_TRACE(bad.length);
        HelperConnection wrong;
        ASSERT_TRUE(wrong.connect());
        wrong.send(frame(bad.length, 1, 0, bad.sent));
        EXPECT_TRUE(wrong.closedByPeer(3s));
    }
    // The first helper is still served.
    helper.send(authFrame(0, "erin", "pw"));
    s.run(R"(
        < { slot 2, pdu signal : modemProceeding : auth : { username "erin", password "pw" } }
    )");
}

// The listener reuses its address: a server started again while a helper of
// the one before still holds its closing connection listens at once.
TEST(PppHelperLink, AServerStartedAgainListensAtOnceWhileItsPredecessorsHelperHangsOn) {
    ServerProcess first;
    ASSERT_TRUE(startHoldingHelperPort(first));
    HelperConnection helper;
    ASSERT_TRUE(helper.connect());
    ASSERT_TRUE(first.errHas(incoming));
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);

    ServerProcess second;
    ASSERT_TRUE(second.start());
    EXPECT_FALSE(second.errHas("fail to bind auth socket", 0ms)) << second.err();
    HelperConnection next;
    ASSERT_TRUE(next.connect());
    EXPECT_TRUE(second.errHas(incoming));
}

// At most 64 helpers are connected; one more is closed at once with a line,
// and a helper that leaves makes room for the next.
TEST(PppHelperLink, AtMost64HelpersAreConnectedAtATime) {
    ServerProcess server;
    ASSERT_TRUE(startHoldingHelperPort(server));
    std::vector<std::unique_ptr<HelperConnection>> helpers;
    for (int i = 0; i < 64; ++i) {
        helpers.push_back(std::make_unique<HelperConnection>());
        ASSERT_TRUE(helpers.back()->connect());
    }
    ASSERT_TRUE(waitFor([&] { return occurrences(server.err(), incoming) == 64; }, 5s));
    HelperConnection refused;
    ASSERT_TRUE(refused.connect());
    EXPECT_TRUE(refused.closedByPeer(3s));
    EXPECT_TRUE(server.errHas(" refused: 64 helpers connected\n"));

    helpers.front()->close();
    EXPECT_TRUE(server.errHas(" disconnected.\n"));
    HelperConnection room;
    ASSERT_TRUE(room.connect());
    EXPECT_TRUE(waitFor([&] { return occurrences(server.err(), incoming) == 65; }, 5s));
    EXPECT_EQ(occurrences(server.err(), " refused: "), 1u);
}

// A helper connection that the loop cannot watch, for want of descriptors,
// is closed and forgotten with a line; one that cannot even be accepted
// waits in the backlog, said once, without keeping the loop busy. Once
// descriptors are there again, helpers are served as before.
TEST(PppHelperLink, HelpersTheServerHasNoDescriptorsForAreDroppedOrWaitAndAreForgotten) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own checks need descriptors, and fail without them.
    GTEST_SKIP() << "the server would run out of descriptors under the sanitizers";
#endif
    ServerProcess server;
    ASSERT_TRUE(startHoldingHelperPort(server));
    // Its descriptors are all open once its acceptor listens.
    ASSERT_TRUE(waitFor([&] { return listening(server.port()); }, 5s));
    int highest = 0;
    std::string const fds = "/proc/" + std::to_string(server.pid()) + "/fd";
    for (auto const& entry : std::filesystem::directory_iterator(fds))
        highest = std::max(highest, std::stoi(entry.path().filename().string()));
    rlimit before{};
    ASSERT_EQ(::prlimit(server.pid(), RLIMIT_NOFILE, nullptr, &before), 0);
    // The soft limit only, which can be raised again: no descriptor above
    // the highest open one, so the free ones are the gaps below it.
    rlim_t limit = rlim_t(highest) + 1;
    auto const set_limit = [&](rlim_t soft) {
        rlimit const tight{soft, before.rlim_max};
        return ::prlimit(server.pid(), RLIMIT_NOFILE, &tight, nullptr) == 0;
    };
    ASSERT_TRUE(set_limit(limit));

    char const dropped[] = " dropped: Too many open files\n";
    char const no_accept[] = "fail to set nonblock mode.\n";
    auto const count = [&](char const* text) { return occurrences(server.err(), text); };
    // Helpers that find two free descriptors stay, filling the gaps, until
    // one is dropped (one descriptor left) or not accepted (none left).
    std::vector<std::unique_ptr<HelperConnection>> kept;
    while (count(dropped) == 0 && count(no_accept) == 0) {
        ASSERT_LT(kept.size(), 40u) << server.err();
        size_t const served = count(incoming);
        kept.push_back(std::make_unique<HelperConnection>());
        ASSERT_TRUE(kept.back()->connect());
        ASSERT_TRUE(waitFor(
            [&] { return count(incoming) > served || count(dropped) || count(no_accept); }, 3s));
    }
    auto const drop_phase = [&] {
        for (int i = 0; i < 70; ++i) {
            HelperConnection helper;
            ASSERT_TRUE(helper.connect());
            EXPECT_TRUE(helper.closedByPeer(3s)) << i;
        }
    };
    auto const no_accept_phase = [&] {
        HelperConnection waiting;
        ASSERT_TRUE(waiting.connect());
        ASSERT_TRUE(server.errHas(no_accept));
        long const ticks = cpuTicks(server.pid());
        EXPECT_FALSE(waiting.closedByPeer(300ms));
        EXPECT_LE(cpuTicks(server.pid()) - ticks, 10);
        EXPECT_EQ(count(no_accept), 1u);
    };
    // One descriptor more turns either state into the other: with none
    // left, the waiting helper is accepted and dropped; with one, the next
    // helper stays and leaves none.
    if (count(dropped)) {
        kept.pop_back();
        drop_phase();
        ASSERT_TRUE(set_limit(++limit));
        HelperConnection last;
        ASSERT_TRUE(last.connect());
        no_accept_phase();
    } else {
        no_accept_phase();
        ASSERT_TRUE(set_limit(++limit));
        drop_phase();
    }
    EXPECT_GE(count(dropped), 70u);

    ASSERT_TRUE(set_limit(before.rlim_cur));
    size_t const served = count(incoming);
    HelperConnection next;
    ASSERT_TRUE(next.connect());
    EXPECT_TRUE(waitFor([&] { return count(incoming) > served; }, 5s));
    EXPECT_EQ(count(" refused: "), 0u);
}
