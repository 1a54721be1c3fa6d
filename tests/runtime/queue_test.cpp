#include "runtime/containers/queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/containers/cyclic.h"
#include "runtime/containers/packet.h"
#include "tests/support/pool_check.h"

namespace {

class CleanQueueTest : public PoolCheck {};

Packet tagged(unsigned char tag) {
    Packet p;
    p.reserve_head(0);
    p.put8(tag);
    return p;
}

// Takes everything out with get and gives the first byte of each packet.
std::vector<int> drain(CleanQueue<Packet, 7>& q) {
    std::vector<int> out;
    Packet p;
    while (q.get(p)) out.push_back(p[0]);
    return out;
}

TEST_F(CleanQueueTest, HoldsNElementsAndGivesThemBackInPutOrder) {
    CleanQueue<Packet, 7> q;
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.size(), 7u);
    for (unsigned char i = 1; i <= 7; ++i) EXPECT_TRUE(q.put(tagged(i)));
    Packet eighth = tagged(8);
    EXPECT_FALSE(q.put(eighth));
    EXPECT_FALSE(q.append(eighth));
    EXPECT_EQ(q.count(), 7u);
    EXPECT_EQ(drain(q), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));

    Packet untouched = tagged(9);
    EXPECT_FALSE(q.get(&untouched));
    EXPECT_FALSE(q.get_last(&untouched));
    EXPECT_EQ(untouched[0], 9);
}

TEST_F(CleanQueueTest, WrapsAroundItsSlots) {
    CleanQueue<Packet, 7> q;
    for (int round = 0; round < 3; ++round) {
        for (unsigned char i = 0; i < 5; ++i) ASSERT_TRUE(q.put(tagged(i)));
        EXPECT_EQ(drain(q), (std::vector<int>{0, 1, 2, 3, 4}));
    }
    EXPECT_EQ(q.inc_index(6), 0u);
    EXPECT_EQ(q.inc_index(2), 3u);
    EXPECT_EQ(q.dec_index(0), 6u);
    EXPECT_EQ(q.dec_index(3), 2u);
}

TEST_F(CleanQueueTest, APacketThatLeftTheQueueIsNoLongerHeldByIt) {
    CleanQueue<Packet, 7> q;
    q.put(tagged(1));
    q.put(tagged(2));
    EXPECT_EQ(Packet::free_buffers(), 1022u);

    Packet first, last;
    ASSERT_TRUE(q.get(&first));
    ASSERT_TRUE(q.get_last(&last));
    // Sole holders change their packets in place, without a copy.
    first[0] = 10;
    last[0] = 20;
    EXPECT_EQ(Packet::free_buffers(), 1022u);
    first.clear();
    last.clear();
    EXPECT_EQ(Packet::free_buffers(), 1024u);
}

TEST_F(CleanQueueTest, AppendAndGetLastWorkAtTheFrontAndTheBack) {
    CleanQueue<Packet, 7> q;
    q.append(tagged(5));
    Packet p;
    ASSERT_TRUE(q.preview(&p));
    EXPECT_EQ(p[0], 5);
    ASSERT_TRUE(q.get_last(&p));
    EXPECT_EQ(p[0], 5);
    EXPECT_TRUE(q.empty());

    // Retransmission: unacknowledged frames go back in front of the send
    // queue, newest taken first, so the oldest ends up first.
    CleanQueue<Packet, 7> sent, send;
    for (unsigned char i = 1; i <= 3; ++i) sent.put(tagged(i));
    send.put(tagged(4));
    while (sent.get_last(&p)) send.append(p);
    EXPECT_EQ(drain(send), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(CleanQueueTest, PreviewCopiesTheOldestWithoutTakingIt) {
    CleanQueue<Packet, 7> q;
    EXPECT_FALSE(q.preview(nullptr));
    q.put(tagged(1));
    q.put(tagged(2));
    EXPECT_TRUE(q.preview(nullptr));
    Packet p;
    EXPECT_TRUE(q.preview(&p));
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(q.count(), 2u);
}

// Clearing must give up the packets too, or cleared queues would keep
// buffers out of the pool until their slots happen to be overwritten.
TEST_F(CleanQueueTest, ClearReleasesEveryPacketItHeld) {
    CleanQueue<Packet, 7> q;
    for (unsigned char i = 0; i < 7; ++i) q.put(tagged(i));
    Packet p;
    q.get(p);  // head and tail now away from slot 0
    p.clear();
    q.put(tagged(7));
    EXPECT_EQ(Packet::free_buffers(), 1024u - 7u);
    q.clear();
    EXPECT_EQ(q.count(), 0u);
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(Packet::free_buffers(), 1024u);

    q.put(tagged(1));
    q.put(tagged(2));
    EXPECT_EQ(drain(q), (std::vector<int>{1, 2}));
}

TEST_F(CleanQueueTest, DestroyingTheQueueReleasesItsPackets) {
    {
        CleanQueue<Packet, 120> q;
        for (unsigned char i = 0; i < 120; ++i) ASSERT_TRUE(q.put(tagged(i)));
        EXPECT_EQ(Packet::free_buffers(), 1024u - 120u);
    }
    EXPECT_EQ(Packet::free_buffers(), 1024u);
}

using Seq = Cyclic<unsigned int, 127u>;

TEST(Cyclic, CountsModulo128) {
    EXPECT_EQ(unsigned(Seq()), 0u);
    EXPECT_EQ(unsigned(Seq(130)), 2u);
    EXPECT_EQ(unsigned(Seq(0) - Seq(1)), 127u);
    EXPECT_EQ(unsigned(Seq(3) - Seq(5)), 126u);
    EXPECT_EQ(unsigned(Seq(120) + Seq(10)), 2u);

    Seq s(127);
    EXPECT_EQ(unsigned(++s), 0u);
    EXPECT_EQ(s++, 0u);
    EXPECT_EQ(unsigned(s), 1u);
    Seq z(0);
    EXPECT_EQ(unsigned(--z), 127u);
}

TEST(Cyclic, WindowTestHoldsAcrossTheWrap) {
    EXPECT_TRUE(Seq(120) <= Seq(3) <= Seq(10));    // distances 11 and 18
    EXPECT_FALSE(Seq(120) <= Seq(12) <= Seq(10));  // distances 20 and 18
    EXPECT_TRUE(Seq(5) <= Seq(5) <= Seq(5));
    EXPECT_FALSE(Seq(5) <= Seq(6) <= Seq(5));
    EXPECT_TRUE(Seq(0) <= Seq(127) <= Seq(127));
    EXPECT_TRUE(Seq(127) <= Seq(0) <= Seq(1));
    EXPECT_FALSE(Seq(1) <= Seq(0) <= Seq(127));

    // V(A) <= N(R) <= V(S) for every N(R) of a window of 7 across the wrap.
    Seq const va(125), vs(4);
    int inside = 0;
    for (unsigned n = 0; n < 128; ++n)
        if (va <= Seq(n) <= vs) ++inside;
    EXPECT_EQ(inside, 8);
}

}  // namespace
