#pragma once
// The frames of the PPP helper link: the server listens on 127.0.0.1:52000,
// and each PPP helper process connects to hand over the authentication and
// accounting of a PPP session. Every frame starts with a 12-byte header of
// three 32-bit words, the board's byte order (big-endian): the total length
// (header included, 4 to 512), the type and the session number (the modem
// number of the modem slot). This codec builds and reads them for the
// server, the stand-in programs and the tests alike.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace PppHelper {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t auth_request = 1;
constexpr uint32_t auth_accept = 2;
constexpr uint32_t ip_settings = 3;
constexpr uint32_t accounting = 4;

constexpr size_t header_size = 12;
constexpr size_t min_length = 4;
constexpr size_t max_length = 512;
constexpr size_t auth_request_length = 140;
constexpr size_t accounting_length = 64;
constexpr size_t auth_accept_length = 16;
constexpr size_t ip_settings_length = 36;
// The user name and the password fields of an authentication request.
constexpr size_t text_field = 64;

struct Header {
    uint32_t length;
    uint32_t type;
    uint32_t session;
};

struct AuthRequest {
    std::string username;
    std::string password;
};

struct Accounting {
    uint64_t octets_out;
    uint64_t octets_in;
    uint64_t packets_out;
    uint64_t packets_in;
    uint32_t time;
};

struct IpSettings {
    // Dotted IPv4 texts; one that is not a dotted address goes out as all ones.
    std::string remote, netmask, gateway, dns;
    int32_t mtu;
};

// The header of a frame that holds at least the header's 12 bytes.
Header ReadHeader(uint8_t const* frame);

// The texts of a type 1 frame of 140 bytes; each ends at its first zero
// byte or at the end of its 64-byte field.
AuthRequest ReadAuthRequest(uint8_t const* frame);
// The counters of a type 4 frame of 64 bytes.
Accounting ReadAccounting(uint8_t const* frame);

Bytes AuthRequestFrame(uint32_t session, AuthRequest const& request);
Bytes AccountingFrame(uint32_t session, Accounting const& counters);
// Type 2: the header and one word 1.
Bytes AuthAcceptFrame(uint32_t session);
// Type 3: the header, then 0, the four addresses in network order and the MTU.
Bytes IpSettingsFrame(uint32_t session, IpSettings const& settings);

}  // namespace PppHelper
