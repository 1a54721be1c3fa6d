#pragma once
// TPKT framing, the one codec of the format: the control link's TPKT layer
// (tpkt.h), the tracer, the controller tool, the tests and the benchmarks all
// build and cut their frames here. A frame is a 4-byte header (version 3, a
// reserved 0, a 16-bit big-endian length that counts the header) followed by
// the payload.
//
// Tpkt::Reader cuts a byte stream back into frames one step at a time and
// tells what it found; it keeps no payload, so each user collects the bytes
// where it needs them. Tpkt::Frames is a Reader with a buffer of its own for
// users that simply want each payload whole.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tpkt {

using Bytes = std::vector<unsigned char>;

constexpr unsigned header_size = 4;
constexpr unsigned char version = 3;
// The largest payload the 16-bit length field can tell.
constexpr unsigned max_payload = 0xFFFF - header_size;

using Header = std::array<unsigned char, header_size>;

// The header in front of a payload of payload_length bytes (at most
// max_payload).
Header MakeHeader(unsigned payload_length);
// The whole frame around the payload; empty when the payload is longer than
// max_payload (a frame is never empty).
Bytes Frame(unsigned char const* payload, std::size_t size);
inline Bytes Frame(Bytes const& payload) {
    return Frame(payload.data(), payload.size());
}

class Reader {
public:
    // Where the reader stands: before a frame, after its first, second or
    // third header byte, inside its payload, or skipping a payload too long
    // for the room.
    enum State : uint32_t { idle = 0, wait_r = 1, len_1 = 2, len_2 = 3, body = 4, ignore = 5 };

    enum Event {
        more,          // the input is used up; nothing to tell
        bad_start,     // a byte other than 3 where a frame starts: dropped
        bad_reserved,  // the byte after the 3 is not 0: both dropped, the next
                       // byte is tested as a frame start
        too_short,     // the length field (`length`) is below 4: header dropped
        too_long,      // the payload (`length` bytes) exceeds the room: its
                       // bytes are skipped as they come
        header,        // a frame with a payload of `length` bytes begins
        payload,       // `size` bytes of the payload at `data`; more follow
        frame,         // the payload's last `size` bytes at `data` (none for an
                       // empty payload): the frame is whole
    };

    struct Step {
        Event event = more;
        std::size_t used = 0;  // input bytes consumed by this step
        unsigned length = 0;
        unsigned char const* data = nullptr;
        std::size_t size = 0;

        // Bytes that cannot be (or start) a frame the reader takes.
        bool bad() const {
            return event == bad_start || event == bad_reserved || event == too_short ||
                   event == too_long;
        }
    };

    // A payload longer than room is skipped (too_long).
    explicit Reader(unsigned room = max_payload) : room_(room) {}

    // Consumes input bytes until there is something to tell or the input is
    // used up. A frame with an empty payload is whole right after its
    // header: the next call tells it, whether or not it is given bytes.
    Step next(unsigned char const* data, std::size_t size);

    void reset() { state_ = idle; }
    State state() const { return state_; }
    void state(State state) { state_ = state; }
    // Bytes of the frame in progress consumed so far, header included.
    std::size_t taken() const;

private:
    Step payload_step(unsigned char const* data, std::size_t size);

    unsigned room_;
    State state_ = idle;
    unsigned length_ = 0;  // the length field, then the payload length
    unsigned left_ = 0;    // payload bytes still to come
};

// A Reader with a buffer: fed the bytes as they come, it gives each payload
// whole.
class Frames {
public:
    void feed(unsigned char const* data, std::size_t size);
    // The payload of the next whole frame, valid until the next call, or null
    // until more bytes come. Bytes that cannot start a frame are skipped (and
    // counted).
    Bytes const* next();
    // The number of bytes skipped since the last call.
    std::size_t takeSkipped();
    // Bytes of a frame begun but not whole.
    std::size_t pending() const { return reader_.taken() + input_.size() - at_; }

private:
    Reader reader_;
    Bytes input_;
    std::size_t at_ = 0;  // input_ bytes the reader has consumed
    Bytes payload_;
    std::size_t skipped_ = 0;
};

}  // namespace Tpkt
