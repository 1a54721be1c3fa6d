#pragma once
// Driver records: fixed-size byte arrays in the board's byte order
// (big-endian), built and parsed only through these accessors, never by
// laying a host struct over them. Offsets are in bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace Device {

inline uint32_t get32(uint8_t const* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}
inline void put32(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}
inline uint16_t get16(uint8_t const* at) { return uint16_t(at[0] << 8 | at[1]); }
inline void put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value);
}

template <size_t N>
class Record {
public:
    static constexpr size_t size = N;

    Record() = default;
    // A record of 32-bit words, in order.
    Record(std::initializer_list<uint32_t> words) {
        size_t at = 0;
        for (uint32_t w : words) {
            if (at + 4 > N) break;
            put32(at, w);
            at += 4;
        }
    }

    uint32_t get32(size_t at) const { return Device::get32(bytes_.data() + at); }
    void put32(size_t at, uint32_t value) { Device::put32(bytes_.data() + at, value); }
    uint16_t get16(size_t at) const { return Device::get16(bytes_.data() + at); }
    void put16(size_t at, uint16_t value) { Device::put16(bytes_.data() + at, value); }
    uint8_t& operator[](size_t at) { return bytes_[at]; }
    uint8_t operator[](size_t at) const { return bytes_[at]; }

    uint8_t* data() { return bytes_.data(); }
    uint8_t const* data() const { return bytes_.data(); }

private:
    std::array<uint8_t, N> bytes_{};
};

}  // namespace Device
