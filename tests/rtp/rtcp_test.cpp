// The RTCP reports of a stream, compared as whole compound packets.

#include "rtp/rtcp.h"

#include <gtest/gtest.h>

#include "tests/support/bytes.h"

using support::text;

TEST(RtcpSdes, EndsTheItemsWithAZeroAndPadsTheChunkToAWord) {
    struct Case {
        std::string cname;
        std::string packet;
    } const cases[] = {
        {"a", "81 CA 00 02 00 00 00 2A 01 01 61 00"},
        {"ab", "81 CA 00 03 00 00 00 2A 01 02 61 62 00 00 00 00"},
        {"abcd", "81 CA 00 03 00 00 00 2A 01 04 61 62 63 64 00 00"},
        {"", "81 CA 00 02 00 00 00 2A 01 00 00 00"},
    };
    for (Case const& c : cases) {
        Rtcp::Packet packet;
        Rtcp::AppendSdes(packet, 42, c.cname);
        EXPECT_EQ(text(packet), c.packet) << c.cname;
    }
    // A name longer than an item holds is cut to 255 octets.
    Rtcp::Packet packet;
    Rtcp::AppendSdes(packet, 42, std::string(300, 'x'));
    ASSERT_EQ(packet.size(), 268u);
    EXPECT_EQ(text(Rtcp::Packet(packet.begin(), packet.begin() + 10)),
              "81 CA 00 42 00 00 00 2A 01 FF");
    EXPECT_EQ(text(Rtcp::Packet(packet.end() - 4, packet.end())), "78 00 00 00");
}

TEST(RtcpReporter, AnnouncesOnStartAndSaysGoodbyeOnceAfterIt) {
    Rtcp::RtcpReporter reporter(0xCAFEF00D, "127.0.0.1");
    EXPECT_TRUE(reporter.End().empty());
    std::string const rr_sdes =
        "80 C9 00 01 CA FE F0 0D "
        "81 CA 00 04 CA FE F0 0D 01 09 31 32 37 2E 30 2E 30 2E 31 00";
    EXPECT_EQ(text(reporter.Start()), rr_sdes);
    EXPECT_EQ(text(reporter.End()), rr_sdes + " 81 CB 00 01 CA FE F0 0D");
    EXPECT_TRUE(reporter.End().empty());
}
