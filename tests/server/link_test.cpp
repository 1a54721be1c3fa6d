// The control link inside one process: TPKT framing, the control stream
// service on a socket pair, the control server's dispatch and the heartbeat,
// all driven by the real main loop.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <vector>

#include "server/acceptor_net.h"
#include "server/ctrl_server.h"
#include "server/heartbeat.h"
#include "server/tpkt.h"
#include "tests/support/capture.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"
#include "tests/support/recorders.h"
#include "tests/support/sockets.h"

using namespace support;

namespace {

// A TPKT layer alone in a family that records what leaves it.
class TpktBench : public ProtocolsFamily {
public:
    TpktBench() : tpkt(new Tpkt_protocol) { add_protocol_tail(tpkt); }
    void on_message(Packet& p) override { received.push_back(bytes(p)); }
    void transmit(Packet& p) override { sent.push_back(bytes(p)); }
    void feed(std::string const& hexText) {
        Packet chunk;
        chunk.reserve_head(0);
        for (unsigned char b : hex(hexText)) chunk.put8(b);
        tpkt->receive(chunk);
    }
    static std::string bytes(Packet const& p) {
        Bytes out;
        for (unsigned i = 0; i < p.length(); ++i) out.push_back(p[int(i)]);
        return text(out);
    }
    Tpkt_protocol* tpkt;
    std::vector<std::string> received;
    std::vector<std::string> sent;
};

INet4::Addr peerAddress() {
    return INet4::Addr(std::string("10.1.2.3:4567"));
}

}  // namespace

TEST(TpktFraming, CutsFramesFromChunksHoweverTheyAreSplit) {
    TpktBench bench;
    bench.feed("03 00 00 07 41 42 43");
    bench.feed("03 00");
    bench.feed("00 07 41");
    bench.feed("42 43 03 00 00 05 5A 03 00 00 05 5B");
    EXPECT_EQ(bench.received, (std::vector<std::string>{"41 42 43", "41 42 43", "5A", "5B"}));
}

TEST(TpktFraming, LogsAndSkipsBadStartsReservedBytesAndShortLengths) {
    StreamCapture log(std::clog);
    TpktBench bench;
    bench.feed("07 03 01 03 00 00 03 03 00 00 05 5A");
    EXPECT_EQ(bench.received, std::vector<std::string>{"5A"});
    EXPECT_EQ(log.text(),
              "(no name) bad TPKT packet start.\n"
              "(no name) bad TPKT reserved.\n"
              "TPKT too small 3\n");
}

TEST(TpktFraming, DeliversAnEmptyFrameWhenTheNextByteArrives) {
    TpktBench bench;
    bench.feed("03 00 00 04");
    EXPECT_TRUE(bench.received.empty());
    bench.feed("03");
    EXPECT_EQ(bench.received, std::vector<std::string>{""});
}

TEST(TpktFraming, PutsTheHeaderInFrontOfAnOutgoingPayload) {
    TpktBench bench;
    Packet p;
    bench.prepare_head(p);
    for (int i = 0; i < 10; ++i) p.put8(static_cast<unsigned char>(i));
    bench.message(p);
    EXPECT_EQ(bench.sent, std::vector<std::string>{"03 00 00 0E 00 01 02 03 04 05 06 07 08 09"});
}

TEST(ControlStream, SendsFramesAndRefusesAPayloadNoFrameCanCarry) {
    SocketPair pair;
    int const big = 1 << 20;
    ::setsockopt(pair.local.lowlevel_fd(), SOL_SOCKET, SO_SNDBUF, &big, sizeof(big));
    PairService link;
    LinkRecorder recorder;
    link.Bind(&recorder);
    link.Connected(pair.local, peerAddress());
    EXPECT_EQ(link.GetAddr(), "10.1.2.3:4567");
    EXPECT_EQ(recorder.connects, 1);

    std::vector<char> payload(Tpkt_protocol::max_payload + 1, 'x');
    StreamCapture errors(std::cerr);
    link.Send(payload.data(), int(payload.size()));
    EXPECT_TRUE(drain(pair.peer).empty());
    EXPECT_EQ(errors.text(),
              "Control::Service::Send() refuse message of 65532 bytes: a frame carries at most "
              "65531 bytes.\n");
    EXPECT_TRUE(link.IsConnected());

    link.Send(payload.data(), int(Tpkt_protocol::max_payload));
    Bytes const largest = drain(pair.peer);
    ASSERT_EQ(largest.size(), 65535u);
    EXPECT_EQ(text(Bytes(largest.begin(), largest.begin() + 5)), "03 00 FF FF 78");

    link.Send("ABC", 3);
    EXPECT_EQ(text(drain(pair.peer)), "03 00 00 07 41 42 43");
}

TEST(ControlStream, APeerThatStopsReadingEndsTheConnectionAfterTheWriteBudget) {
    SocketPair pair;
    PairService link;
    LinkRecorder recorder;
    link.Bind(&recorder);
    link.Connected(pair.local, peerAddress());
    std::vector<char> payload(60000, 'y');
    auto const start = std::chrono::steady_clock::now();
    std::string written;
    {
        StreamCapture errors(std::cerr);
        while (link.GetOverflowCounter() == 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
            link.Send(payload.data(), int(payload.size()));
        written = errors.text();
    }
    auto const waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(link.GetOverflowCounter(), 1u);
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_EQ(written.find("SockStream[]: write timeout, sendbuf="), 0u);
    EXPECT_EQ(link.GetState(), Control::Service::State::Deactivating);
    // The owner hears of it on the next loop pass, once.
    EXPECT_EQ(recorder.disconnects, 0);
    ASSERT_TRUE(runUntil([&] { return recorder.disconnects > 0; }, 2000));
    EXPECT_EQ(recorder.disconnects, 1);
    EXPECT_EQ(link.GetState(), Control::Service::State::Connecting);
}

TEST(ControlStream, APeerThatClosesIsReportedOnceOnTheNextPass) {
    SocketPair pair;
    PairService link;
    LinkRecorder recorder;
    link.Bind(&recorder);
    link.Connected(pair.local, peerAddress());
    EXPECT_TRUE(sendAll(pair.peer, frame(hex("01 02"))));
    ASSERT_TRUE(runUntil([&] { return !recorder.messages.empty(); }, 2000));
    EXPECT_EQ(recorder.messages, std::vector<std::string>{"\x01\x02"});
    pair.peer.close();
    ASSERT_TRUE(runUntil([&] { return recorder.disconnects > 0; }, 2000));
    EXPECT_FALSE(runUntil([&] { return recorder.disconnects > 1; }, 50));
    EXPECT_EQ(link.GetState(), Control::Service::State::Connecting);
    StreamCapture errors(std::cerr);
    link.Send("A", 1);
    EXPECT_EQ(errors.text(), "");  // not debugging: dropped silently
}

namespace {

// A service that takes every command and answers as told.
class ScriptedService : public CtrlSrv::Service {
public:
    std::function<void()> onCommand;
    std::vector<std::string> signalsSeen;
    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const&) override {
        if (onCommand) onCommand();
        return true;
    }
    void OnSignal(LGCP::Signal const&) override { signalsSeen.push_back("signal"); }
};

// A server on a socket pair with the given services bound.
struct ServerBench {
    explicit ServerBench(std::vector<CtrlSrv::Service*> const& services) {
        for (CtrlSrv::Service* s : services) server.Bind(s);
        link = new PairService;
        server.Activate(link);
        link->Connected(pair.local, peerAddress());
    }
    // Sends one command and returns every frame payload that came back.
    std::vector<std::string> exchange(LGCP::Message const& m) {
        EXPECT_TRUE(sendAll(pair.peer, frame(encode(m))));
        std::vector<std::string> out;
        auto const take = [&] {
            Bytes const got = drain(pair.peer);
            answers.feed(got.data(), got.size());
            while (auto payload = answers.next()) out.push_back(text(*payload));
            return !out.empty();
        };
        runUntil(take, 2000);
        runFor(20);  // anything that follows the first answer
        take();
        return out;
    }
    SocketPair pair;
    CtrlSrv::Server server;
    PairService* link;
    Tpkt::Frames answers;
};

LGCP::Message query(int slot) {
    LGCP::Message m;
    m.set_seq(1);
    if (slot >= 0) m.set_slot(unsigned(slot));
    m.set_pdu().select_command().select_query();
    return m;
}

std::string answer(bool success, LGCP::ErrorCause::NamedNumber cause = LGCP::ErrorCause::internal,
                   int slot = -1) {
    LGCP::Message m;
    m.set_seq(1);
    if (slot >= 0) m.set_slot(unsigned(slot));
    if (success)
        m.set_pdu().select_response().select_success();
    else
        m.set_pdu().select_response().select_error(cause);
    return text(encode(m));
}

}  // namespace

TEST(ControlServer, AnErrorMayFollowASuccessButNeverASecondError) {
    ScriptedService service;
    ServerBench bench({&service});
    service.onCommand = [&] {
        service.Success();
        service.Error(LGCP::ErrorCause::busError);
        service.Error(LGCP::ErrorCause::internal);
        service.Success();
    };
    EXPECT_EQ(bench.exchange(query(-1)),
              (std::vector<std::string>{answer(true), answer(false, LGCP::ErrorCause::busError)}));
}

TEST(ControlServer, ACommandTakenWithoutAnAnswerIsAnsweredInternal) {
    ScriptedService service;
    ServerBench bench({&service});
    StreamCapture errors(std::cerr);
    EXPECT_EQ(bench.exchange(query(12)),
              std::vector<std::string>{answer(false, LGCP::ErrorCause::internal, 12)});
    EXPECT_EQ(
        errors.text().find("ctrl [10.1.2.3:4567]: software error: server do NOT send ack!!!\n"),
        0u);
}

TEST(ControlServer, SignalsCarryTheHandledSlotAndReachTheOtherServicesFirst) {
    ScriptedService sender;
    ScriptedService other;
    ServerBench bench({&sender, &other});
    LGCP::Signal power;
    power.select_power(LGCP::POWERStatus::main);
    sender.onCommand = [&] {
        sender.SendSignal(power);
        sender.Success();
    };
    LGCP::Message signal;
    signal.set_slot(12u);
    signal.set_pdu().select_signal(power);
    EXPECT_EQ(bench.exchange(query(12)),
              (std::vector<std::string>{text(encode(signal)),
                                        answer(true, LGCP::ErrorCause::internal, 12)}));
    EXPECT_EQ(other.signalsSeen.size(), 1u);
    EXPECT_TRUE(sender.signalsSeen.empty());
    // Outside command handling a signal carries no slot.
    sender.SendSignal(power);
    LGCP::Message bare;
    bare.set_pdu().select_signal(power);
    EXPECT_EQ(text(drain(bench.pair.peer)), text(frame(encode(bare))));
}

namespace {

// Hands the server a second frame while it handles the first command, as a
// service that pumped the link would, and looks at the first command after.
class NestingService : public CtrlSrv::Service {
public:
    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(LGCP::Command const& command) override {
        if (command.ping_isSelected()) return false;
        Bytes const inner = encode(ping(2));
        server()->OnMessage(reinterpret_cast<char const*>(inner.data()), int(inner.size()));
        outerStillAQuery = command.query_isSelected();
        Success();
        return true;
    }
    bool outerStillAQuery = false;
};

}  // namespace

TEST(ControlServer, AFrameHandedInWhileAnotherIsHandledLeavesTheFirstCommandWhole) {
    HeartBeatCtl heartbeat;
    NestingService nesting;
    ServerBench bench({&heartbeat, &nesting});
    LGCP::Message success;
    success.set_seq(2);
    success.set_pdu().select_response().select_success();
    std::vector<std::string> const answers = bench.exchange(query(-1));
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers.front(), text(encode(success)));
    EXPECT_TRUE(nesting.outerStillAQuery);
}

TEST(ControlServer, DeactivatingWithoutAControllerStillTellsEveryService) {
    struct Counting : ScriptedService {
        int disconnects = 0;
        void OnDisconnect() override { ++disconnects; }
    } a, b;
    CtrlSrv::Server server;
    server.Bind(&a);
    server.Bind(&b);
    server.Activate(new PairService);
    std::ostringstream header;
    server.PutHeader(header);
    EXPECT_EQ(header.str(), "ctrl [not connected]: ");
    server.Deactivate();
    EXPECT_EQ(a.disconnects, 1);
    EXPECT_EQ(b.disconnects, 1);
    header.str("");
    server.PutHeader(header);
    EXPECT_EQ(header.str(), "ctrl [null]: ");
}

TEST(Heartbeat, ClosesAControllerSilentAfterACommandButNeverASilentNewcomer) {
    // The global server, as the heartbeat closes its link; a short period.
    HeartBeatCtl heartbeat(100);
    ScriptedService rest;
    rest.onCommand = [&] { rest.Success(); };
    ctrlServer.Bind(&heartbeat);
    SocketPair pair;
    auto* link = new PairService;
    ctrlServer.Activate(link);
    link->Connected(pair.local, peerAddress());

    // Connected and silent: never closed.
    EXPECT_FALSE(runUntil([&] { return !link->IsConnected(); }, 400));
    EXPECT_FALSE(heartbeat.watching());

    // A ping is answered here and starts the watch.
    StreamCapture log(std::clog);
    EXPECT_TRUE(sendAll(pair.peer, frame(encode(ping(5)))));
    ASSERT_TRUE(runUntil([&] { return heartbeat.watching(); }, 2000));
    LGCP::Message success;
    success.set_seq(5);
    success.set_pdu().select_response().select_success();
    EXPECT_EQ(text(drain(pair.peer)), text(frame(encode(success))));

    // Commands keep it open; silence after them closes it.
    auto const start = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) {
        runFor(60);
        EXPECT_TRUE(sendAll(pair.peer, frame(encode(query(-1)))));
    }
    ASSERT_TRUE(runUntil([&] { return !link->IsConnected(); }, 2000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_NE(log.text().find("heartbeat timeout!!!\n"), std::string::npos);
    runUntil([&] { return link->GetState() == Control::Service::State::Connecting; }, 1000);
    EXPECT_FALSE(heartbeat.watching());
    ctrlServer.Deactivate();
}

namespace {

// Answers every message with its own bytes; closes the connection after
// answering a message that starts with 0xFF.
class Echo : public Control::Notify {
public:
    explicit Echo(Control::Service& link) : link_(link) {}
    void OnConnect() override {}
    void OnDisconnect() override { ++disconnects; }
    void OnMessage(char const* data, int length) override {
        link_.Send(data, length);
        if (length > 0 && static_cast<unsigned char>(data[0]) == 0xFF) link_.Disconnect();
    }
    int disconnects = 0;

private:
    Control::Service& link_;
};

// Sends the frames in one write; what comes back until the peer has `count`
// bytes (2 s at most).
Bytes exchange(Fd const& peer, std::vector<Bytes> const& frames, size_t count) {
    Bytes out;
    for (Bytes const& f : frames) out.insert(out.end(), f.begin(), f.end());
    EXPECT_TRUE(sendAll(peer, out));
    Bytes answers;
    runUntil(
        [&] {
            Bytes const got = drain(peer);
            answers.insert(answers.end(), got.begin(), got.end());
            return answers.size() >= count;
        },
        2000);
    return answers;
}

}  // namespace

TEST(ControlStream, AnswersToCommandsReadTogetherLeaveInWritesOfEightWithoutDelay) {
    TcpPair pair;
    PairService link;
    Echo echo(link);
    link.Bind(&echo);
    link.Connected(pair.local, peerAddress());
    auto const start = std::chrono::steady_clock::now();
    Bytes const answers =
        exchange(pair.peer, {frame(hex("01")), frame(hex("02 02")), frame(hex("03 03 03"))}, 18);
    EXPECT_EQ(text(answers), "03 00 00 05 01 03 00 00 06 02 02 03 00 00 07 03 03 03");
    EXPECT_EQ(link.get_write_measure().counter(), 1u);
    // Nothing is held back waiting for more.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    // Outside a read, every message is written at once.
    link.Send("A", 1);
    EXPECT_EQ(link.get_write_measure().counter(), 2u);
    // Ten commands read together: eight answers in one write, in order, then
    // the other two.
    std::vector<Bytes> ten;
    std::string expected;
    for (int i = 0; i < 10; ++i) {
        ten.push_back(frame(Bytes{static_cast<unsigned char>(0x10 + i)}));
        expected += (i ? " " : "") + text(ten.back());
    }
    ASSERT_EQ(text(drain(pair.peer)), "03 00 00 05 41");
    EXPECT_EQ(text(exchange(pair.peer, ten, 50)), expected);
    EXPECT_EQ(link.get_write_measure().counter(), 4u);
    link.Release();
}

TEST(ControlStream, AnswersGatheredBeforeALocalCloseStillLeave) {
    TcpPair pair;
    PairService link;
    Echo echo(link);
    link.Bind(&echo);
    link.Connected(pair.local, peerAddress());
    Bytes const answers =
        exchange(pair.peer, {frame(hex("01")), frame(hex("FF")), frame(hex("02"))}, 10);
    EXPECT_EQ(text(answers), "03 00 00 05 01 03 00 00 05 FF");
    ASSERT_TRUE(runUntil([&] { return echo.disconnects > 0; }, 2000));
    // The close came with the second answer: the third command was not taken.
    unsigned char rest[16];
    EXPECT_EQ(::recv(pair.peer.lowlevel_fd(), rest, sizeof(rest), MSG_DONTWAIT), -1);
    EXPECT_EQ(link.GetState(), Control::Service::State::Connecting);
}
