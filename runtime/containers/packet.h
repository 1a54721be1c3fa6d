#pragma once
// Packet: a reference-counted handle to one pooled buffer of 65536 data bytes.
// The payload lies between the head and the tail; lower protocol layers
// prepend their headers into the room in front of the head (push), payload
// and trailers are appended behind the tail (put), and receivers take bytes
// off the head (pull). Copies share the buffer; the first modifying access to
// a shared buffer gives the modifying handle its own copy (copy-on-write).
//
// Every buffer comes from a fixed pool of 1024 (`Packet::free_buffers()` says
// how many are left); taking one from an empty pool throws std::bad_alloc. A
// broken contract (null packet, index or length out of range) prints
// "PACKET ASSERTION FAILED!" with the packet on the log stream and ends the
// process.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "runtime/containers/pool.h"
#include "runtime/containers/smart_pointer.h"

// The buffer. Its bytes outside the payload are never copied.
class _Packet {
public:
    static constexpr unsigned size = 65536;

    _Packet() : fdata(data + size), ftail(data + size) {}
    // Same head and tail distances as the source; only the payload is copied.
    _Packet(_Packet const& other);
    _Packet& operator=(_Packet const&) = delete;

    // Storage comes from the packet pool, whatever size is asked.
    static void* operator new(std::size_t);
    static void operator delete(void* p);

    unsigned char* begin() { return data; }
    unsigned char* end() { return data + size; }
    unsigned char const* begin() const { return data; }
    unsigned char const* end() const { return data + size; }

    uint32_t ref_count = 0;
    unsigned char* fdata;  // first payload byte
    unsigned char* ftail;  // one past the last payload byte

private:
    unsigned char data[size];
};

using Packet_pool = List_allocator<_Packet, 1024, Dummy_critical_section>;

class Packet {
public:
    static constexpr unsigned packet_max_size = _Packet::size;
    static constexpr unsigned pool_size = Packet_pool::capacity;

    // Buffers that can still be taken from the pool.
    static unsigned free_buffers() { return Packet_pool::instance().available(); }

    Packet() = default;
    // Copying shares the buffer; assigning releases the buffer held before.

    void clear() { p_.clean(); }

    bool null() const { return p_.null(); }
    unsigned length() const { return p_.null() ? 0 : _length(); }
    bool empty() const { return length() == 0; }
    bool operator<(unsigned n) const { return length() < n; }

    // For a packet known not to be null (a null one ends the process through
    // the smart pointer's check).
    unsigned _length() const { return unsigned(p_->ftail - p_->fdata); }
    unsigned _headroom() const { return unsigned(p_->fdata - p_->begin()); }
    unsigned _tailroom() const { return unsigned(p_->end() - p_->ftail); }
    unsigned tailroom() const {
        passert(!p_.null(), "null packet");
        return _tailroom();
    }

    // Reading and writing; each is a modifying access (a shared buffer is
    // copied first) and needs a packet that is not null.
    unsigned char* data() { return buffer()->fdata; }
    unsigned char* tail() { return buffer()->ftail; }
    // The payload for reading: not a modifying access, so a shared buffer
    // stays shared.
    unsigned char const* data() const {
        passert(!p_.null(), "null packet");
        return p_.get()->fdata;
    }

    // Appends len bytes behind the tail; returns them (the old tail).
    unsigned char* put(unsigned len) {
        _Packet* b = buffer();
        passert(len <= _tailroom(), "len<=_tailroom()");
        unsigned char* at = b->ftail;
        b->ftail += len;
        check("put");
        return at;
    }
    // Prepends len bytes in front of the head; returns them (the new head).
    unsigned char* push(unsigned len) {
        _Packet* b = buffer();
        passert(len <= _headroom(), "len<=_headroom()");
        b->fdata -= len;
        check("push");
        return b->fdata;
    }
    // Removes len bytes from the head; returns them (still in the buffer).
    unsigned char* pull(unsigned len) {
        _Packet* b = buffer();
        passert(len <= _length(), "len<=_length()");
        unsigned char* at = b->fdata;
        b->fdata += len;
        return at;
    }
    // Removes len bytes from the tail; returns the new tail.
    unsigned char* trim(unsigned len) {
        _Packet* b = buffer();
        passert(len <= _length(), "len<=_length()");
        b->ftail -= len;
        check("trim");
        return b->ftail;
    }

    unsigned char& operator[](int i) {
        _Packet* b = buffer();
        passert(i >= 0 && unsigned(i) < _length(), "index out of range");
        return b->fdata[i];
    }
    unsigned char const& operator[](int i) const {
        passert(!p_.null(), "null packet");
        passert(i >= 0 && unsigned(i) < _length(), "index out of range");
        return p_.get()->fdata[i];
    }

    // Byte order: put16 is low byte first, the _b forms high byte first.
    void put8(unsigned char b) { *put(1) = b; }
    void put16(unsigned short v) {
        unsigned char* at = put(2);
        at[0] = static_cast<unsigned char>(v);
        at[1] = static_cast<unsigned char>(v >> 8);
    }
    void put16_b(unsigned short v) {
        unsigned char* at = put(2);
        at[0] = static_cast<unsigned char>(v >> 8);
        at[1] = static_cast<unsigned char>(v);
    }
    void push8(unsigned char b) { *push(1) = b; }
    void push16_b(unsigned short v) {
        unsigned char* at = push(2);
        at[0] = static_cast<unsigned char>(v >> 8);
        at[1] = static_cast<unsigned char>(v);
    }
    // The first byte, removed; 0 (and nothing removed) when there is none.
    unsigned char pull8() { return empty() ? 0 : *pull(1); }
    unsigned short pull16() { return pull16_l(); }
    unsigned short pull16_l() {
        unsigned const low = pull8();
        return static_cast<unsigned short>(low | pull8() << 8);
    }
    unsigned short pull16_b() {
        unsigned const high = pull8();
        return static_cast<unsigned short>(high << 8 | pull8());
    }

    // Adds len bytes of room in front of an empty packet (head and tail both
    // move forward); on a null packet takes a fresh buffer with headroom len.
    void reserve_head(unsigned len);
    // Adds len bytes of room behind an empty packet (head and tail both move
    // back); on a null packet takes a fresh buffer with tailroom len.
    void reserve_tail(unsigned len);
    // Empties the packet for the next payload, with len bytes of room in
    // front: a buffer that this handle alone holds is kept (nothing goes
    // through the pool); a shared one is left to its other holders and, as
    // for a null packet, a fresh buffer taken (reserve_head).
    void reuse(unsigned len);

    // A new packet with the len payload bytes that begin start bytes into
    // this payload, in a buffer of its own; this packet is unchanged.
    Packet sub(unsigned len, unsigned start) const;
    // Appends every payload byte of other (nothing for a null other).
    void put(Packet const& other);
    // Appends a length byte and the characters of s. A string of more than
    // 255 characters cannot be told by one length byte: it is refused, the
    // packet is left unchanged and false returned.
    bool put(std::string const& s);
    // Removes a length byte n and n bytes (missing bytes read as 0).
    std::string pull_string();

    // The payload as upper-case hexadecimal pairs separated by blanks;
    // "(null)" for a null packet, "(bad)" for inconsistent positions.
    std::string text() const;
    // "head=<headroom>, data=<length>, tail=<tailroom>"; false for a null packet.
    bool dump(std::ostream& os) const;
    // "dump:" and " <byte>" in lower-case hexadecimal per payload byte.
    bool dump_context(std::ostream& os) const;

    // Contract checks: a false condition prints the packet and ends the process.
    void passert(bool condition, char const* message) const {
        if (!condition) assertion_failed(message);
    }
    void passert(bool condition, std::string const& message) const {
        if (!condition) assertion_failed(message.c_str());
    }
    // Positions still inside the buffer and in order after put, push, trim.
    void check(char const* name) const {
        _Packet const* b = p_.get();
        if (!b) check_fail("after \"%s\" packet is null", name);
        if (b->fdata < b->begin() || b->fdata > b->end())
            check_fail("after \"%s\" fdata invalid", name);
        if (b->ftail < b->begin() || b->ftail > b->end())
            check_fail("after \"%s\" ftail invalid", name);
        if (b->fdata > b->ftail) check_fail("after \"%s\" fdata>ftail", name);
    }
    [[noreturn]] static void check_fail(char const* format, ...)
        __attribute__((format(printf, 1, 2)));

private:
    friend class PacketInfo;

    // The buffer for a modifying access: checked not null, unshared.
    _Packet* buffer() {
        passert(!p_.null(), "null packet");
        return p_.operator->();
    }
    [[noreturn]] void assertion_failed(char const* message) const;

    Smart_pointer<_Packet> p_;
};

std::ostream& operator<<(std::ostream& os, Packet const& p);

// A printable snapshot of a packet, taken at construction.
class PacketInfo {
public:
    explicit PacketInfo(Packet const& p);
    void put(std::ostream& os) const;

private:
    bool null_ = true;
    bool consistent_ = false;
    bool ordered_ = false;  // head not after tail
    long headroom_ = 0;
    long length_ = 0;
    long tailroom_ = 0;
    std::vector<unsigned char> payload_;
};

std::ostream& operator<<(std::ostream& os, PacketInfo const& info);
