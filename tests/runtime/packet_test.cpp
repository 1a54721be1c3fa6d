#include "runtime/containers/packet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/pool_check.h"

namespace {

class PacketTest : public PoolCheck {};
class PacketPool : public PoolCheck {};
class PacketPrint : public PoolCheck {};
using PacketDeathTest = PacketTest;

// A fresh empty packet holding the given bytes, headroom 16.
Packet packet_of(std::vector<unsigned char> const& bytes) {
    Packet p;
    p.reserve_head(16);
    for (unsigned char b : bytes) p.put8(b);
    return p;
}

TEST_F(PacketTest, ReserveHeadOnANullPacketTakesABufferWithThatHeadroom) {
    Packet p;
    EXPECT_TRUE(p.null());
    EXPECT_EQ(p.length(), 0u);
    p.reserve_head(4);
    EXPECT_FALSE(p.null());
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    EXPECT_EQ(p._headroom(), 4u);
    EXPECT_EQ(p._tailroom(), 65532u);
    EXPECT_EQ(p.length(), 0u);

    p.reserve_head(3);
    EXPECT_EQ(p._headroom(), 7u);
    EXPECT_EQ(p.tailroom(), 65529u);
    p.push(7);
    EXPECT_EQ(p._headroom(), 0u);
    EXPECT_EQ(p.length(), 7u);
    EXPECT_DEATH(p.push8(1), "PACKET ASSERTION FAILED!\nlen<=_headroom\\(\\)\n");

    p.clear();
    EXPECT_TRUE(p.null());
    EXPECT_EQ(Packet::free_buffers(), 1024u);
}

TEST_F(PacketTest, ReuseKeepsABufferHeldAloneAndLeavesASharedOneToItsOtherHolders) {
    Packet p;
    p.reuse(4);  // null: a fresh buffer
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    p.put8(0xAB);
    unsigned char const* const buffer = p.data() - 4;
    p.reuse(2);
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    EXPECT_EQ(p.data() - 2, buffer);
    EXPECT_EQ(p.length(), 0u);
    EXPECT_EQ(p._headroom(), 2u);
    EXPECT_EQ(p._tailroom(), 65534u);

    p.put8(0xCD);
    Packet const kept = p;
    p.reuse(0);
    EXPECT_EQ(Packet::free_buffers(), 1022u);
    EXPECT_EQ(kept.text(), "CD");
    EXPECT_EQ(p.length(), 0u);
    EXPECT_NE(static_cast<Packet const&>(p).data(), kept.data());
}

TEST_F(PacketTest, ReservingZeroBytesOnANullPacketLeavesAllRoomOnOneSide) {
    Packet head;
    head.reserve_head(0);
    EXPECT_EQ(head._headroom(), 0u);
    EXPECT_EQ(head._tailroom(), 65536u);

    Packet tail;
    tail.reserve_tail(0);
    EXPECT_EQ(tail._headroom(), 65536u);
    EXPECT_EQ(tail._tailroom(), 0u);

    Packet room;
    room.reserve_tail(10);
    EXPECT_EQ(room._headroom(), 65526u);
    EXPECT_EQ(room._tailroom(), 10u);
    room.reserve_tail(6);
    EXPECT_EQ(room._tailroom(), 16u);
}

TEST_F(PacketTest, ReserveHeadOnASharedBufferGivesThisHandleItsOwnCopy) {
    Packet a = packet_of({1, 2, 3});
    Packet b = a;
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    b.reserve_head(0);
    EXPECT_EQ(Packet::free_buffers(), 1022u);
    b[0] = 9;
    EXPECT_EQ(a.text(), "01 02 03");
    EXPECT_EQ(b.text(), "09 02 03");
}

TEST_F(PacketDeathTest, ReservationsBeyondThePacketSizeEndTheProcess) {
    Packet p;
    EXPECT_DEATH(p.reserve_head(65537), "PACKET ASSERTION FAILED!\nlength>packet_max_size\n");
    EXPECT_DEATH(p.reserve_tail(65537), "PACKET ASSERTION FAILED!\nlen>packet_max_size\n");
    p.reserve_head(65000);
    EXPECT_DEATH(p.reserve_head(600), "new_len>packet_max_size");
}

// Moving head and tail of a packet that holds payload must not push the
// other position past the end of the buffer.
TEST_F(PacketDeathTest, ReservationsOnAPacketWithPayloadStayInsideTheBuffer) {
    Packet p;
    p.reserve_head(0);
    p.put(65530);
    EXPECT_EQ(p._tailroom(), 6u);
    p.reserve_head(6);  // fits exactly
    EXPECT_EQ(p._headroom(), 6u);
    EXPECT_EQ(p._tailroom(), 0u);
    EXPECT_DEATH(p.reserve_head(1), "PACKET ASSERTION FAILED!\nlen<=_tailroom\\(\\)\n");

    Packet q;
    q.reserve_tail(0);
    q.push(65530);
    EXPECT_EQ(q._headroom(), 6u);
    q.reserve_tail(6);
    EXPECT_EQ(q._headroom(), 0u);
    EXPECT_EQ(q._tailroom(), 6u);
    EXPECT_DEATH(q.reserve_tail(1), "PACKET ASSERTION FAILED!\nlen<=_headroom\\(\\)\n");
}

TEST_F(PacketTest, SixteenBitValuesGoInTheirOwnByteOrder) {
    Packet p = packet_of({});
    p.put16(0x1234);
    EXPECT_EQ(p.text(), "34 12");
    p.put16_b(0x1234);
    EXPECT_EQ(p.text(), "34 12 12 34");
    p.push16_b(0xABCD);
    p.push8(0x7F);
    EXPECT_EQ(p.text(), "7F AB CD 34 12 12 34");

    EXPECT_EQ(p.pull8(), 0x7F);
    EXPECT_EQ(p.pull16_b(), 0xABCD);
    EXPECT_EQ(p.pull16(), 0x1234);
    EXPECT_EQ(p.pull16_l(), 0x3412);
    EXPECT_TRUE(p.empty());
}

TEST_F(PacketTest, PullingPastTheEndReadsZeroes) {
    Packet p = packet_of({});
    EXPECT_EQ(p.pull8(), 0);
    EXPECT_EQ(p._headroom(), 16u);
    EXPECT_EQ(p.length(), 0u);

    p.put8(0xAB);
    EXPECT_EQ(p.pull16_b(), 0xAB00);
    p.put8(0xAB);
    EXPECT_EQ(p.pull16(), 0x00AB);

    Packet none;
    EXPECT_EQ(none.pull8(), 0);
    EXPECT_EQ(none.pull_string(), "");
}

TEST_F(PacketTest, PutPushPullAndTrimMoveTheRightEnd) {
    Packet p = packet_of({1, 2, 3, 4, 5});
    unsigned char* appended = p.put(2);
    appended[0] = 6;
    appended[1] = 7;
    EXPECT_EQ(p.tail(), appended + 2);
    unsigned char* header = p.push(1);
    header[0] = 0;
    EXPECT_EQ(p.data(), header);
    EXPECT_EQ(p.text(), "00 01 02 03 04 05 06 07");

    unsigned char* pulled = p.pull(3);
    EXPECT_EQ(pulled[0], 0);
    EXPECT_EQ(pulled[2], 2);
    unsigned char* const new_tail = p.trim(2);
    EXPECT_EQ(new_tail, p.tail());
    EXPECT_EQ(p.text(), "03 04 05");
    EXPECT_TRUE(p < 4);
    EXPECT_FALSE(p < 3);
}

TEST_F(PacketDeathTest, ContractFailuresPrintThePacketAndEndTheProcess) {
    Packet none;
    EXPECT_DEATH(none.data(), "PACKET ASSERTION FAILED!\nnull packet\n\\(null\\)\n");
    EXPECT_DEATH(none.tailroom(), "null packet");
    EXPECT_DEATH(none._length(), "SMART POINTER ASSERTION!");

    Packet p = packet_of({0x01, 0xAB});
    EXPECT_DEATH(p[-1],
                 "PACKET ASSERTION FAILED!\nindex out of range\n"
                 "head=16, data=2, tail=65518\ndump:\n 1 ab\n\n");
    EXPECT_DEATH(p[2], "index out of range");
    Packet const& view = p;
    EXPECT_DEATH(view[2], "index out of range");
    EXPECT_DEATH(p.pull(3), "len<=_length\\(\\)");
    EXPECT_DEATH(p.trim(3), "len<=_length\\(\\)");
    EXPECT_DEATH(p.put(65519), "len<=_tailroom\\(\\)");
    EXPECT_DEATH(Packet::check_fail("after \"%s\" fdata invalid", "put"),
                 "packet check fail\nafter \"put\" fdata invalid\nterminate.\n");
}

TEST_F(PacketTest, ACopySharesTheBufferUntilOneSideChangesIt) {
    Packet original = packet_of({1, 2, 3, 4});
    Packet copy = original;
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    Packet const& reader = copy;
    EXPECT_EQ(reader[1], 2);
    EXPECT_EQ(copy.text(), "01 02 03 04");
    EXPECT_EQ(Packet::free_buffers(), 1023u);  // reading copies nothing

    EXPECT_EQ(copy.pull8(), 1);
    copy.trim(1);
    EXPECT_EQ(Packet::free_buffers(), 1022u);
    EXPECT_EQ(copy.text(), "02 03");
    EXPECT_EQ(original.text(), "01 02 03 04");
    EXPECT_EQ(original._headroom(), 16u);
    EXPECT_EQ(copy._headroom(), 17u);
    EXPECT_EQ(copy._tailroom(), original._tailroom() + 1);

    copy = original;  // the private copy goes back to the pool
    EXPECT_EQ(Packet::free_buffers(), 1023u);
    Packet const& same = copy;
    copy = same;  // self-assignment keeps the bytes
    EXPECT_EQ(copy.text(), "01 02 03 04");
}

TEST_F(PacketTest, SubCopiesAPartOfThePayload) {
    Packet p = packet_of({1, 2, 3, 4, 5});
    Packet part = p.sub(2, 1);
    EXPECT_EQ(part.text(), "02 03");
    EXPECT_EQ(p.text(), "01 02 03 04 05");
    EXPECT_EQ(Packet::free_buffers(), 1022u);
    EXPECT_EQ(p.sub(0, 5).text(), "");
    EXPECT_EQ(p.sub(5, 0).text(), "01 02 03 04 05");
    EXPECT_DEATH(p.sub(1, 6), "start<=_length\\(\\)");
    EXPECT_DEATH(p.sub(3, 3), "start\\+len<=_length\\(\\)");
    EXPECT_DEATH(p.sub(0xFFFFFFFFu, 2), "start\\+len<=_length\\(\\)");
}

TEST_F(PacketTest, PutOfAPacketAppendsItsPayload) {
    Packet p = packet_of({1, 2});
    Packet other = packet_of({3, 4});
    p.put(other);
    EXPECT_EQ(p.text(), "01 02 03 04");
    EXPECT_EQ(other.text(), "03 04");
    p.put(Packet());
    EXPECT_EQ(p.length(), 4u);

    Packet const& self = p;
    p.put(self);  // a packet appended to itself doubles
    EXPECT_EQ(p.text(), "01 02 03 04 01 02 03 04");
    Packet alias = p;
    p.put(alias);
    EXPECT_EQ(p.length(), 16u);
    EXPECT_EQ(alias.length(), 8u);
}

TEST_F(PacketTest, StringsTravelWithALengthByte) {
    Packet p = packet_of({});
    EXPECT_TRUE(p.put(std::string("ab")));
    EXPECT_TRUE(p.put(std::string()));
    EXPECT_EQ(p.text(), "02 61 62 00");
    EXPECT_EQ(p.pull_string(), "ab");
    EXPECT_EQ(p.pull_string(), "");
    EXPECT_TRUE(p.empty());

    std::string const longest(255, 'x');
    EXPECT_TRUE(p.put(longest));
    EXPECT_EQ(p.length(), 256u);
    EXPECT_EQ(p.pull_string(), longest);

    // A length byte of 4 with two bytes behind it: the missing two read as 0.
    p.put8(4);
    p.put8('h');
    p.put8('i');
    EXPECT_EQ(p.pull_string(), std::string("hi\0\0", 4));
}

// One length byte cannot tell more than 255 characters: such a string is
// refused whole instead of being written with its length modulo 256.
TEST_F(PacketTest, AStringOfMoreThan255CharactersIsRefusedAndThePacketLeftAsItWas) {
    Packet p = packet_of({9});
    EXPECT_FALSE(p.put(std::string(300, 'y')));
    EXPECT_FALSE(p.put(std::string(256, 'y')));
    EXPECT_EQ(p.text(), "09");
    EXPECT_EQ(p._tailroom(), 65519u);
}

TEST_F(PacketPrint, TextShowsUpperCaseHexPairs) {
    EXPECT_EQ(Packet().text(), "(null)");
    EXPECT_EQ(packet_of({}).text(), "");
    EXPECT_EQ(packet_of({0x01, 0xAB}).text(), "01 AB");
    std::ostringstream os;
    os << packet_of({0x0F, 0xF0, 0x00});
    EXPECT_EQ(os.str(), "0F F0 00");
}

TEST_F(PacketPrint, DumpsGiveRoomsAndBytes) {
    std::ostringstream os;
    EXPECT_FALSE(Packet().dump(os));
    EXPECT_FALSE(Packet().dump_context(os));
    EXPECT_EQ(os.str(), "");

    Packet p = packet_of({0x01, 0xAB, 0x10});
    EXPECT_TRUE(p.dump(os));
    EXPECT_EQ(os.str(), "head=16, data=3, tail=65517");
    os.str("");
    EXPECT_TRUE(packet_of({}).dump_context(os));
    EXPECT_EQ(os.str(), "");
    EXPECT_TRUE(p.dump_context(os));
    EXPECT_EQ(os.str(), "dump: 1 ab 10");

    os.str("");
    os << PacketInfo(p) << PacketInfo(packet_of({})) << PacketInfo(Packet());
    EXPECT_EQ(os.str(),
              "head=16, data=3, tail=65517\ndump:\n 1 ab 10\n"
              "head=16, data=0, tail=65520\n"
              "(null)\n");
}

// A dump switches to hexadecimal for the bytes; what the caller prints next
// must come out in the format the stream had before.
TEST_F(PacketPrint, DumpsLeaveTheStreamsNumberFormatAsTheyFoundIt) {
    Packet p = packet_of({0xFF});
    std::ostringstream os;
    p.dump_context(os);
    os << ' ' << 255;
    os << PacketInfo(p) << 255;
    EXPECT_EQ(os.str(), "dump: ff 255head=16, data=1, tail=65519\ndump:\n ff\n255");

    std::ostringstream hex;
    hex << std::hex << 255 << ' ';
    p.dump(hex);  // the rooms are decimal whatever the stream's format
    hex << ' ' << 255;
    EXPECT_EQ(hex.str(), "ff head=16, data=1, tail=65519 ff");
}

TEST_F(PacketPool, The1025thPacketThrowsBadAlloc) {
    std::vector<Packet> held(Packet::pool_size);
    for (Packet& p : held) p.reserve_head(0);
    EXPECT_EQ(Packet::free_buffers(), 0u);

    Packet one_more;
    EXPECT_THROW(one_more.reserve_head(0), std::bad_alloc);
    EXPECT_TRUE(one_more.null());
    // A copy-on-write copy needs a buffer too; the shared packet stays intact.
    Packet shared = held[0];
    EXPECT_THROW(shared.put8(1), std::bad_alloc);
    EXPECT_EQ(shared.length(), 0u);

    held.pop_back();
    EXPECT_EQ(Packet::free_buffers(), 1u);
    one_more.reserve_head(0);
    EXPECT_EQ(Packet::free_buffers(), 0u);
}

TEST_F(PacketPool, TheBufferReleasedLastIsTakenFirst) {
    std::vector<Packet> held(Packet::pool_size);
    for (Packet& p : held) p.reserve_head(0);
    unsigned char* const fifth = held[5].data();
    unsigned char* const third = held[3].data();
    held[5].clear();
    held[3].clear();

    Packet first, second;
    first.reserve_head(0);
    second.reserve_head(0);
    EXPECT_EQ(first.data(), third);
    EXPECT_EQ(second.data(), fifth);
}

long resident_pages() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident;
}

TEST_F(PacketPool, OnlyTheBuffersInUseCostResidentMemory) {
    long const page = sysconf(_SC_PAGESIZE);
    long const before = resident_pages();
    // A thousand packets taken and released one after another reuse the
    // same few buffers instead of touching a new one each time.
    for (int round = 0; round < 1000; ++round) {
        std::vector<Packet> few(4);
        for (Packet& p : few) {
            p.reserve_head(0);
            p.put(1000);
        }
    }
    long const grown = (resident_pages() - before) * page;
    EXPECT_LT(grown, 1L << 20) << "the pool's storage became resident";
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
namespace {
// In sanitizer builds a buffer back in the pool is poisoned, so a byte
// written through a pointer kept past the packet's release is caught.
TEST(PacketPoolSanitizer, ABufferBackInThePoolCannotBeWritten) {
    EXPECT_DEATH(
        {
            Packet p;
            p.reserve_head(0);
            unsigned char* kept = p.put(1);
            p.clear();
            *kept = 1;
        },
        "use-after-poison");
}
}  // namespace
#endif
