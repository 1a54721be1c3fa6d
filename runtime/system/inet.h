#pragma once
// INet4::Addr is the IPv4 socket address in which the server keeps its TCP
// peers (control port, connectors, asynchronous connect). It
// is laid out exactly as a sockaddr_in, so it goes to the socket calls as it
// is; it parses "a.b.c.d" and "a.b.c.d:port" and prints "a.b.c.d:port".
// Namespace Net gives the host name and the host's IPv4 interface addresses,
// selected by address kind.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <list>
#include <ostream>
#include <string>
#include <vector>

namespace INet4 {

class Addr {
public:
    Addr() { Reset(); }
    Addr(Addr const& o) = default;
    Addr(sockaddr_in& sa) : sa_(sa) {}
    Addr(std::string const& text) {
        Reset();
        Assign(text, nullptr);
    }
    Addr& operator=(Addr const& o) = default;
    Addr& operator=(std::string const& text) {
        Assign(text, nullptr);
        return *this;
    }

    // 0.0.0.0, port 0.
    void Reset();

    // Parses "a.b.c.d" or "a.b.c.d:port". With a port, it is stored (and
    // given through port_out) even when the address is bad; a port outside
    // 0..65535 is refused: the result is false, the port stays as it was and
    // port_out gets -1. Without a port, port_out gets -1 and the port stays.
    // True when the address part is a valid dotted quad.
    bool Assign(char const* text, int* port_out);
    bool Assign(std::string const& text, int* port_out) { return Assign(text.c_str(), port_out); }
    // Stores an address already in network byte order.
    void Assign(unsigned long network_order) { sa_.sin_addr.s_addr = uint32_t(network_order); }

    unsigned short port() const { return ntohs(sa_.sin_port); }
    void port(unsigned short p) { sa_.sin_port = htons(p); }

    // Address and port compared; the family is not.
    bool IsEqual(Addr const& o) const {
        return sa_.sin_addr.s_addr == o.sa_.sin_addr.s_addr && sa_.sin_port == o.sa_.sin_port;
    }
    bool operator==(Addr const& o) const { return IsEqual(o); }
    bool operator!=(Addr const& o) const { return !IsEqual(o); }

    // The dotted quad in a static buffer that the next call overwrites.
    char const* GetStrAddr() const;
    std::string GetString() const;
    std::vector<unsigned char> GetVector() const;
    void Put(std::ostream& os) const;

    operator sockaddr*() { return reinterpret_cast<sockaddr*>(&sa_); }
    operator sockaddr const*() const { return reinterpret_cast<sockaddr const*>(&sa_); }
    sockaddr_in const& raw() const { return sa_; }
    sockaddr_in& raw() { return sa_; }
    socklen_t size() const { return sizeof(sa_); }

private:
    sockaddr_in sa_;
};

std::ostream& operator<<(std::ostream& os, Addr const& a);

}  // namespace INet4

namespace Net {

// Selection bits of ifconfig, combined by OR; none selects every address.
using ifconfig_mode_t = unsigned;
constexpr ifconfig_mode_t if_all = 0;
constexpr ifconfig_mode_t if_not_loopback = 1;  // interface name is not "lo"
constexpr ifconfig_mode_t if_link_local = 2;    // 169.254.0.0/16
constexpr ifconfig_mode_t if_private = 4;       // 10/8, 172.16/12, 192.168/16

// Whether an address (host byte order) of the named interface is selected.
bool ifconfig_selects(char const* name, uint32_t host_order_addr, ifconfig_mode_t mode);

// The host name; empty when it cannot be read.
std::string hostname();
int hostname(std::string const& name);

// Appends the selected IPv4 interface addresses; returns how many, or -1.
int ifconfig(std::list<INet4::Addr>& out, ifconfig_mode_t mode);
// Appends the names of the selected interfaces whose flags hold every bit
// of flags; returns how many, or -1.
int ifconfig(std::list<std::string>& out, ifconfig_mode_t mode, unsigned int flags);

}  // namespace Net
