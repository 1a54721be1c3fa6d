// The TPKT tracer with real trace clients on 127.0.0.1 and the real loop:
// frames cut from what clients send, frames sent to them, and clients that
// misbehave dropped without harm to the sender.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "server/tpkt_tracer.h"
#include "tests/support/capture.h"
#include "tests/support/harness.h"
#include "tests/support/loop.h"
#include "tests/support/sockets.h"

using namespace support;

namespace {

class Receiver : public TPKTTracer::Notify {
public:
    void OnPacket(char const* data, unsigned int length) override {
        packets.emplace_back(data, data + length);
        if (then) then();
    }
    std::vector<std::string> packets;
    std::function<void()> then;
};

// A tracer listening on a free port, with a receiver.
struct Bench {
    Bench() {
        port = freePort();
        tracer.SetReceiver(&receiver);
        EXPECT_TRUE(tracer.Listen(static_cast<unsigned short>(port)));
    }
    // A trace client, connected and taken by the tracer.
    Fd client(int receiveBuffer = 0) {
        Fd fd = connectTcp(port, receiveBuffer);
        EXPECT_TRUE(fd.is_valid());
        std::size_t const before = tracer.connection_count();
        EXPECT_TRUE(runUntil([&] { return tracer.connection_count() == before + 1; }, 2000));
        return fd;
    }
    int port = 0;
    TPKTTracer tracer;
    Receiver receiver;
};

// True once the client reads the end of the stream (the tracer closed it).
bool closedByTracer(Fd const& fd) {
    return runUntil([&] { return atEnd(fd); }, 2000);
}

}  // namespace

TEST(TPKTTracer, CutsFramesHoweverTheyArriveAndSkipsEmptyOnes) {
    StreamCapture log(std::clog);
    Bench bench;
    Fd const client = bench.client();
    EXPECT_NE(log.text().find(
                  "ACP connection open from 127.0.0.1:" + std::to_string(localPort(client)) + "\n"),
              std::string::npos);

    // An empty frame and two frames in one segment.
    ASSERT_TRUE(sendAll(client, hex("03 00 00 04 03 00 00 07 41 42 43 03 00 00 05 5A")));
    ASSERT_TRUE(runUntil([&] { return bench.receiver.packets.size() == 2; }, 2000));
    EXPECT_EQ(bench.receiver.packets, (std::vector<std::string>{"ABC", "Z"}));

    // A header that arrives one byte at a time.
    for (char const* piece : {"03", "00", "00", "06", "41 42"}) {
        ASSERT_TRUE(sendAll(client, hex(piece)));
        runFor(20);
    }
    ASSERT_TRUE(runUntil([&] { return bench.receiver.packets.size() == 3; }, 2000));
    EXPECT_EQ(bench.receiver.packets.back(), "AB");
}

TEST(TPKTTracer, TakesABodyOf512BytesAndDropsAClientThatSends513) {
    Bench bench;
    Fd const client = bench.client();
    Bytes body(512, 0x55);
    ASSERT_TRUE(sendAll(client, frame(body)));
    ASSERT_TRUE(runUntil([&] { return bench.receiver.packets.size() == 1; }, 2000));
    EXPECT_EQ(bench.receiver.packets[0], std::string(512, 'U'));

    StreamCapture errors(std::cerr);
    body.push_back(0x55);
    ASSERT_TRUE(sendAll(client, frame(body)));
    EXPECT_TRUE(closedByTracer(client));
    EXPECT_EQ(bench.tracer.connection_count(), 0u);
    EXPECT_EQ(bench.receiver.packets.size(), 1u);
    EXPECT_EQ(errors.text(),
              "TPKTTracer: drop trace client 127.0.0.1:" + std::to_string(localPort(client)) +
                  ": TPKT body above 512 bytes\n");
}

TEST(TPKTTracer, DropsOnlyTheClientWhoseHeaderIsBad) {
    Bench bench;
    Fd const good = bench.client();
    Fd const reserved = bench.client();
    Fd const version = bench.client();
    Fd const tooShort = bench.client();
    StreamCapture errors(std::cerr);
    ASSERT_TRUE(sendAll(reserved, hex("03 01 00 05 41")));
    ASSERT_TRUE(sendAll(version, hex("04 00 00 05 41")));
    ASSERT_TRUE(sendAll(tooShort, hex("03 00 00 03")));
    EXPECT_TRUE(closedByTracer(reserved));
    EXPECT_TRUE(closedByTracer(version));
    EXPECT_TRUE(closedByTracer(tooShort));
    EXPECT_TRUE(bench.receiver.packets.empty());
    EXPECT_EQ(bench.tracer.connection_count(), 1u);
    auto const dropped = [&](Fd const& fd, char const* reason) {
        return "TPKTTracer: drop trace client 127.0.0.1:" + std::to_string(localPort(fd)) + ": " +
               reason;
    };
    std::vector<std::string> texts;
    for (StreamCapture::Line const& line : errors.lines()) texts.push_back(line.text);
    std::sort(texts.begin(), texts.end());
    std::vector<std::string> expected = {dropped(reserved, "bad TPKT reserved octet"),
                                         dropped(version, "bad TPKT version"),
                                         dropped(tooShort, "TPKT length below 4")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(texts, expected);

    ASSERT_TRUE(sendAll(good, hex("03 00 00 05 47")));
    ASSERT_TRUE(runUntil([&] { return bench.receiver.packets.size() == 1; }, 2000));
    EXPECT_EQ(bench.receiver.packets[0], "G");
}

TEST(TPKTTracer, SendsOneFrameToEveryClientAndNothingWithoutClients) {
    Bench bench;
    EXPECT_EQ(bench.tracer.Send("ABC", 3), 0);
    Fd const a = bench.client();
    Fd const b = bench.client();
    EXPECT_EQ(bench.tracer.Send("ABC", 3), 7);
    EXPECT_EQ(text(drain(a)), "03 00 00 07 41 42 43");
    EXPECT_EQ(text(drain(b)), "03 00 00 07 41 42 43");

    // A body the length field cannot tell is refused, not sent wrapped.
    StreamCapture errors(std::cerr);
    std::vector<char> const huge(70000, 'x');
    EXPECT_EQ(bench.tracer.Send(huge.data(), unsigned(huge.size())), -1);
    EXPECT_EQ(errors.text(),
              "TPKTTracer: refuse to send 70000 bytes: a frame carries at most 65531 bytes.\n");
    EXPECT_TRUE(drain(a).empty());
    EXPECT_EQ(bench.tracer.connection_count(), 2u);
}

TEST(TPKTTracer, ASendFromTheReceiverGoesOnlyToTheClientBeingServed) {
    Bench bench;
    Fd const asking = bench.client();
    Fd const other = bench.client();
    bench.receiver.then = [&] { bench.tracer.Send("OK", 2); };
    ASSERT_TRUE(sendAll(asking, hex("03 00 00 05 3F")));
    ASSERT_TRUE(runUntil([&] { return !bench.receiver.packets.empty(); }, 2000));
    EXPECT_EQ(text(drain(asking)), "03 00 00 06 4F 4B");
    EXPECT_TRUE(drain(other).empty());
    EXPECT_TRUE(bench.tracer.current() == bench.tracer.end());
}

TEST(TPKTTracer, AReceiverMayCloseTheClientItIsServing) {
    Bench bench;
    Fd const client = bench.client();
    bench.receiver.then = [&] { bench.tracer.CloseConnection(bench.tracer.current()); };
    ASSERT_TRUE(sendAll(client, hex("03 00 00 05 31 03 00 00 05 32")));
    EXPECT_TRUE(closedByTracer(client));
    EXPECT_EQ(bench.receiver.packets, std::vector<std::string>{"1"});
    EXPECT_EQ(bench.tracer.connection_count(), 0u);
}

TEST(TPKTTracer, ReadsAFloodOfFramesAcrossPassesWithoutLosingAny) {
    Bench bench;
    Fd const client = bench.client();
    Bytes burst;
    for (int i = 0; i < 1500; ++i) {
        Bytes const one = frame(Bytes(96, static_cast<unsigned char>(i & 0xFF)));
        burst.insert(burst.end(), one.begin(), one.end());
    }
    std::size_t offset = 0;
    ASSERT_TRUE(runUntil(
        [&] {
            if (offset < burst.size()) {
                ssize_t const sent = ::send(client.lowlevel_fd(), burst.data() + offset,
                                            burst.size() - offset, MSG_DONTWAIT | MSG_NOSIGNAL);
                if (sent > 0) offset += std::size_t(sent);
            }
            return bench.receiver.packets.size() == 1500;
        },
        5000));
    for (int i = 0; i < 1500; i += 499)
        EXPECT_EQ(bench.receiver.packets[std::size_t(i)],
                  std::string(96, static_cast<char>(i & 0xFF)));
}

TEST(TPKTTracer, ASlowOrVanishedClientIsDroppedWithoutStallingTheSender) {
    Bench bench;
    Fd const slow = bench.client(4096);  // never reads
    Fd gone = bench.client();
    Fd const reader = bench.client();
    gone.close();
    std::vector<char> const trace(60000, 't');
    auto const start = Clock::now();
    Bytes received;
    for (int i = 0; i < 200 && bench.tracer.connection_count() > 1; ++i) {
        bench.tracer.Send(trace.data(), unsigned(trace.size()));
        Bytes const got = drain(reader);
        received.insert(received.end(), got.begin(), got.end());
    }
    EXPECT_LT(millisBetween(start, Clock::now()), 1000);
    EXPECT_EQ(bench.tracer.connection_count(), 1u);
    // The reader that keeps up stays and gets whole frames.
    bench.tracer.Send("END", 3);
    Bytes const rest = drain(reader);
    received.insert(received.end(), rest.begin(), rest.end());
    ASSERT_GE(received.size(), 7u);
    EXPECT_EQ(text(Bytes(received.end() - 7, received.end())), "03 00 00 07 45 4E 44");
    EXPECT_EQ((received.size() - 7) % 60004, 0u);
}

TEST(TPKTTracer, ListenOnABusyPortFailsAndLeavesNothingOpen) {
    Bench first;
    TPKTTracer second;
    StreamCapture errors(std::cerr);
    EXPECT_FALSE(second.Listen(static_cast<unsigned short>(first.port)));
    EXPECT_FALSE(second.listening());
    EXPECT_EQ(errors.text(), "TPKTTracer: can't listen on port " + std::to_string(first.port) +
                                 ": Address already in use\n");
}
