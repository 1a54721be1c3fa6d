#include "runtime/system/inet.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

TEST(Inet4Addr, ParsesAndPrintsAddressWithPort) {
    INet4::Addr a(std::string("10.1.2.3:2944"));
    EXPECT_STREQ(a.GetStrAddr(), "10.1.2.3");
    EXPECT_EQ(a.port(), 2944);
    EXPECT_EQ(a.GetString(), "10.1.2.3:2944");
    std::ostringstream out;
    out << a;
    EXPECT_EQ(out.str(), "10.1.2.3:2944");
    EXPECT_EQ(a.GetVector(), (std::vector<unsigned char>{10, 1, 2, 3}));

    // Laid out as the socket calls expect.
    sockaddr_in const& raw = a.raw();
    EXPECT_EQ(raw.sin_family, AF_INET);
    unsigned char const* bytes = reinterpret_cast<unsigned char const*>(&raw);
    EXPECT_EQ(bytes[2], 0x0B);
    EXPECT_EQ(bytes[3], 0x80);
    EXPECT_EQ(bytes[4], 10);
    EXPECT_EQ(bytes[7], 3);
    EXPECT_EQ(a.size(), 16u);
}

TEST(Inet4Addr, ANewAddressIsAllZero) {
    INet4::Addr a;
    EXPECT_EQ(a.GetString(), "0.0.0.0:0");
    unsigned char const* bytes = reinterpret_cast<unsigned char const*>(&a.raw());
    for (int i = 2; i < 16; ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(Inet4Addr, AssignWithoutPortKeepsThePortAndReportsNone) {
    INet4::Addr a(std::string("1.2.3.4:80"));
    int port = 0;
    EXPECT_TRUE(a.Assign("10.1.2.3", &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(a.GetString(), "10.1.2.3:80");
    a = std::string("5.6.7.8");
    EXPECT_EQ(a.GetString(), "5.6.7.8:80");
}

TEST(Inet4Addr, ABadAddressStillStoresItsPort) {
    INet4::Addr a;
    int port = 0;
    EXPECT_FALSE(a.Assign("bad:80", &port));
    EXPECT_EQ(port, 80);
    EXPECT_EQ(a.port(), 80);
    EXPECT_TRUE(a.Assign("1.2.3.4:", &port));
    EXPECT_EQ(port, 0);
    EXPECT_TRUE(a.Assign(std::string("1.2.3.4:65535"), &port));
    EXPECT_EQ(a.port(), 65535);
}

TEST(Inet4Addr, PortsOutsideTheSixteenBitRangeAreRefusedNotWrapped) {
    INet4::Addr a(std::string("1.2.3.4:161"));
    int port = 0;
    EXPECT_FALSE(a.Assign("1.2.3.4:65536", &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(a.port(), 161);
    EXPECT_FALSE(a.Assign("1.2.3.4:-1", &port));
    EXPECT_FALSE(a.Assign("1.2.3.4:99999999999999999999", &port));
    EXPECT_EQ(a.port(), 161);
}

TEST(Inet4Addr, EqualityComparesAddressAndPortOnly) {
    INet4::Addr a(std::string("1.2.3.4:5"));
    INet4::Addr b(a);
    b.raw().sin_family = AF_UNIX;
    EXPECT_TRUE(a == b);
    b.port(6);
    EXPECT_FALSE(a.IsEqual(b));
    INet4::Addr c;
    c.Assign(htonl(0x01020304));
    c.port(5);
    EXPECT_TRUE(a == c);
}

TEST(NetIfconfig, SelectsAddressesByKind) {
    struct Interface {
        char const* name;
        uint32_t address;
    } const host[] = {{"lo", 0x7F000001}, {"eth0", 0xC0A80105}, {"eth1", 0xA9FE0304}};
    auto pick = [&](Net::ifconfig_mode_t mode) {
        std::string out;
        for (auto const& i : host)
            if (Net::ifconfig_selects(i.name, i.address, mode)) out += std::string(i.name) + " ";
        return out;
    };
    EXPECT_EQ(pick(4), "eth0 ");
    EXPECT_EQ(pick(2), "eth1 ");
    EXPECT_EQ(pick(1), "eth0 eth1 ");
    EXPECT_EQ(pick(0), "lo eth0 eth1 ");
    EXPECT_EQ(pick(6), "eth0 eth1 ");
    EXPECT_FALSE(Net::ifconfig_selects("LO", 0x7F000001, Net::if_not_loopback));
    EXPECT_TRUE(Net::ifconfig_selects("x", 0xAC1F0001, Net::if_private));   // 172.31.0.1
    EXPECT_FALSE(Net::ifconfig_selects("x", 0xAC200001, Net::if_private));  // 172.32.0.1
    EXPECT_TRUE(Net::ifconfig_selects("x", 0x0A000001, Net::if_private));
    EXPECT_FALSE(Net::ifconfig_selects("x", 0x0B000001, Net::if_private));
}

TEST(NetIfconfig, ListsThisHostsInterfaces) {
    std::list<INet4::Addr> all;
    int const n = Net::ifconfig(all, Net::if_all);
    ASSERT_GE(n, 1);
    EXPECT_EQ(size_t(n), all.size());
    bool has_loopback = std::any_of(all.begin(), all.end(), [](INet4::Addr const& a) {
        return std::string(a.GetStrAddr()) == "127.0.0.1";
    });
    EXPECT_TRUE(has_loopback);

    std::list<INet4::Addr> not_lo;
    ASSERT_GE(Net::ifconfig(not_lo, Net::if_not_loopback), 0);
    for (auto const& a : not_lo) EXPECT_STRNE(a.GetStrAddr(), "127.0.0.1");
    EXPECT_LT(not_lo.size(), all.size());

    std::list<std::string> up_names;
    int const named = Net::ifconfig(up_names, Net::if_all, IFF_UP | IFF_LOOPBACK);
    ASSERT_GE(named, 1);
    EXPECT_EQ(up_names.front(), "lo");
    std::list<std::string> impossible;
    EXPECT_EQ(
        Net::ifconfig(impossible, Net::if_all, IFF_LOOPBACK | IFF_POINTOPOINT | IFF_BROADCAST), 0);
}

TEST(NetHostname, ReadsTheHostName) {
    char expected[512] = {};
    ASSERT_EQ(gethostname(expected, sizeof(expected) - 1), 0);
    EXPECT_EQ(Net::hostname(), expected);
}

}  // namespace
