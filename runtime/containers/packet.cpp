#include "runtime/containers/packet.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>

namespace {

// Restores a stream's number format when a dump is done with it.
class FormatSaver {
public:
    explicit FormatSaver(std::ostream& os) : os_(os), flags_(os.flags()) {}
    ~FormatSaver() { os_.flags(flags_); }
    FormatSaver(FormatSaver const&) = delete;
    FormatSaver& operator=(FormatSaver const&) = delete;

private:
    std::ostream& os_;
    std::ios_base::fmtflags flags_;
};

bool consistent(_Packet const& b) {
    return b.begin() <= b.fdata && b.ftail <= b.end() && b.fdata <= b.ftail;
}

}  // namespace

_Packet::_Packet(_Packet const& other)
    : fdata(data + (other.fdata - other.data)), ftail(data + (other.ftail - other.data)) {
    if (other.ftail > other.fdata)
        std::memcpy(fdata, other.fdata, static_cast<std::size_t>(other.ftail - other.fdata));
}

void* _Packet::operator new(std::size_t) {
    void* p = Packet_pool::instance().allocate();
    if (!p) throw std::bad_alloc();
    return p;
}

void _Packet::operator delete(void* p) {
    Packet_pool::instance().deallocate(p);
}

void Packet::reserve_head(unsigned len) {
    passert(len <= packet_max_size, "length>packet_max_size");
    if (!null()) {
        _Packet* b = buffer();
        passert(_headroom() + len <= packet_max_size, "new_len>packet_max_size");
        // On a packet that holds payload the tail moves too: keep it inside.
        passert(len <= _tailroom(), "len<=_tailroom()");
        b->fdata += len;
        b->ftail += len;
        return;
    }
    p_ = new _Packet;
    passert(!null(), "allocation fail");
    _Packet* b = p_.get();
    b->fdata = b->ftail = b->begin() + len;
}

void Packet::reuse(unsigned len) {
    passert(len <= packet_max_size, "length>packet_max_size");
    _Packet* const b = p_.get();
    if (!b || b->ref_count != 1) {
        clear();
        reserve_head(len);
        return;
    }
    b->fdata = b->ftail = b->begin() + len;
}

void Packet::reserve_tail(unsigned len) {
    passert(len <= packet_max_size, "len>packet_max_size");
    if (!null()) {
        _Packet* b = buffer();
        passert(_tailroom() + len <= packet_max_size, "_tailroom()+len <= packet_max_size");
        // On a packet that holds payload the head moves too: keep it inside.
        passert(len <= _headroom(), "len<=_headroom()");
        b->fdata -= len;
        b->ftail -= len;
        return;
    }
    p_ = new _Packet;
    passert(!null(), "allocation fail");
    _Packet* b = p_.get();
    b->fdata = b->ftail = b->end() - len;
}

Packet Packet::sub(unsigned len, unsigned start) const {
    passert(!null(), "null packet");
    passert(start <= _length(), "start<=_length()");
    passert(len <= _length() - start, "start+len<=_length()");
    Packet part(*this);
    part.pull(start);
    part.trim(part._length() - len);
    return part;
}

void Packet::put(Packet const& other) {
    unsigned const n = other.length();
    if (n == 0) return;
    if (other.p_.get() == p_.get()) {
        // Appending a packet to itself (or to a handle of the same buffer):
        // read from a handle that keeps the original payload.
        Packet const source(other);
        std::memcpy(put(n), source.p_.get()->fdata, n);
        return;
    }
    std::memcpy(put(n), other.p_.get()->fdata, n);
}

bool Packet::put(std::string const& s) {
    if (s.size() > 255) return false;
    auto const n = static_cast<unsigned>(s.size());
    unsigned char* at = put(n + 1);
    at[0] = static_cast<unsigned char>(n);
    if (n) std::memcpy(at + 1, s.data(), n);
    return true;
}

std::string Packet::pull_string() {
    unsigned const n = pull8();
    std::string s(n, '\0');
    unsigned const present = n < length() ? n : length();
    if (present) std::memcpy(&s[0], pull(present), present);
    return s;
}

std::string Packet::text() const {
    if (null()) return "(null)";
    _Packet const& b = *p_.get();
    if (!consistent(b)) return "(bad)";
    static char const digits[] = "0123456789ABCDEF";
    std::string out;
    unsigned const n = _length();
    if (n == 0) return out;
    out.reserve(n * 3);
    for (unsigned i = 0; i < n; ++i) {
        if (i) out += ' ';
        out += digits[b.fdata[i] >> 4];
        out += digits[b.fdata[i] & 0xF];
    }
    return out;
}

bool Packet::dump(std::ostream& os) const {
    if (null()) return false;
    FormatSaver saver(os);
    os << std::dec << "head=" << _headroom() << ", "
       << "data=" << _length() << ", "
       << "tail=" << _tailroom();
    return true;
}

bool Packet::dump_context(std::ostream& os) const {
    if (null() || !consistent(*p_.get())) return false;
    unsigned const n = _length();
    if (n == 0) return true;
    FormatSaver saver(os);
    os << "dump:" << std::hex;
    unsigned char const* bytes = p_.get()->fdata;
    for (unsigned i = 0; i < n; ++i) os << ' ' << unsigned(bytes[i]);
    return true;
}

void Packet::assertion_failed(char const* message) const {
    std::clog << "PACKET ASSERTION FAILED!" << '\n'
              << message << '\n'
              << PacketInfo(*this) << std::endl;
    std::terminate();
}

void Packet::check_fail(char const* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::clog << "packet check fail" << '\n' << text << '\n' << "terminate." << std::endl;
    std::terminate();
}

std::ostream& operator<<(std::ostream& os, Packet const& p) {
    return os << p.text();
}

PacketInfo::PacketInfo(Packet const& p) : null_(p.null()) {
    if (null_) return;
    _Packet const& b = *p.p_.get();
    headroom_ = b.fdata - b.begin();
    length_ = b.ftail - b.fdata;
    tailroom_ = b.end() - b.ftail;
    consistent_ = b.begin() <= b.fdata && b.ftail <= b.end();
    ordered_ = b.fdata <= b.ftail;
    if (consistent_ && b.fdata < b.ftail) payload_.assign(b.fdata, b.ftail);
}

void PacketInfo::put(std::ostream& os) const {
    if (null_) {
        os << "(null)" << '\n';
        return;
    }
    FormatSaver saver(os);
    os << std::dec << "head=" << headroom_ << ", "
       << "data=" << length_ << ", "
       << "tail=" << tailroom_ << '\n';
    if (!consistent_ || !ordered_) {
        os << "can't dump packet: wrong pointers" << '\n';
        return;
    }
    if (payload_.empty()) return;
    os << "dump:" << '\n' << std::hex;
    for (unsigned char byte : payload_) os << ' ' << unsigned(byte);
    os << '\n';
}

std::ostream& operator<<(std::ostream& os, PacketInfo const& info) {
    info.put(os);
    return os;
}
