#include "slots/ppp_helper_frame.h"

#include <arpa/inet.h>

#include <cstring>

#include "hardware/device/record.h"

namespace PppHelper {

namespace {

uint64_t get64(uint8_t const* at) {
    return uint64_t(Device::get32(at)) << 32 | Device::get32(at + 4);
}

void put64(uint8_t* at, uint64_t value) {
    Device::put32(at, uint32_t(value >> 32));
    Device::put32(at + 4, uint32_t(value));
}

// A zeroed frame of that length with its header filled in.
Bytes frame(uint32_t type, uint32_t session, size_t length) {
    Bytes out(length, 0);
    Device::put32(out.data(), uint32_t(length));
    Device::put32(out.data() + 4, type);
    Device::put32(out.data() + 8, session);
    return out;
}

// The text of a field, up to its first zero byte or the field's end.
std::string text_of(uint8_t const* field) {
    auto const* begin = reinterpret_cast<char const*>(field);
    return std::string(begin, strnlen(begin, text_field));
}

void put_text(uint8_t* field, std::string const& text) {
    std::memcpy(field, text.data(), text.size() < text_field ? text.size() : text_field);
}

// inet_addr's value: network order, all ones for a text it cannot read.
uint32_t address(std::string const& text) { return ntohl(::inet_addr(text.c_str())); }

}  // namespace

Header ReadHeader(uint8_t const* frame) {
    return {Device::get32(frame), Device::get32(frame + 4), Device::get32(frame + 8)};
}

AuthRequest ReadAuthRequest(uint8_t const* frame) {
    return {text_of(frame + header_size), text_of(frame + header_size + text_field)};
}

Accounting ReadAccounting(uint8_t const* frame) {
    return {get64(frame + 24), get64(frame + 32), get64(frame + 40), get64(frame + 48),
            Device::get32(frame + 56)};
}

Bytes AuthRequestFrame(uint32_t session, AuthRequest const& request) {
    Bytes out = frame(auth_request, session, auth_request_length);
    put_text(out.data() + header_size, request.username);
    put_text(out.data() + header_size + text_field, request.password);
    return out;
}

Bytes AccountingFrame(uint32_t session, Accounting const& counters) {
    Bytes out = frame(accounting, session, accounting_length);
    put64(out.data() + 24, counters.octets_out);
    put64(out.data() + 32, counters.octets_in);
    put64(out.data() + 40, counters.packets_out);
    put64(out.data() + 48, counters.packets_in);
    Device::put32(out.data() + 56, counters.time);
    return out;
}

Bytes AuthAcceptFrame(uint32_t session) {
    Bytes out = frame(auth_accept, session, auth_accept_length);
    Device::put32(out.data() + header_size, 1);
    return out;
}

Bytes IpSettingsFrame(uint32_t session, IpSettings const& settings) {
    Bytes out = frame(ip_settings, session, ip_settings_length);
    uint8_t* word = out.data() + header_size;
    Device::put32(word + 4, address(settings.remote));
    Device::put32(word + 8, address(settings.netmask));
    Device::put32(word + 12, address(settings.gateway));
    Device::put32(word + 16, address(settings.dns));
    Device::put32(word + 20, uint32_t(settings.mtu));
    return out;
}

}  // namespace PppHelper
