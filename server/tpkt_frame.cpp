#include "server/tpkt_frame.h"

#include <algorithm>

namespace Tpkt {

Header MakeHeader(unsigned payload_length) {
    unsigned const length = payload_length + header_size;
    return {version, 0, static_cast<unsigned char>(length >> 8),
            static_cast<unsigned char>(length & 0xFF)};
}

Bytes Frame(unsigned char const* payload, std::size_t size) {
    if (size > max_payload) return Bytes();
    Header const header = MakeHeader(unsigned(size));
    Bytes frame;
    frame.reserve(header_size + size);
    frame.insert(frame.end(), header.begin(), header.end());
    frame.insert(frame.end(), payload, payload + size);
    return frame;
}

Reader::Step Reader::next(unsigned char const* data, std::size_t size) {
    // A header always ends a step, so a payload starts a step of its own.
    if (state_ == body) return payload_step(data, size);
    Step step;
    for (;;) {
        if (step.used == size) return step;
        if (state_ == ignore) {
            unsigned const count = unsigned(std::min<std::size_t>(size - step.used, left_));
            step.used += count;
            left_ -= count;
            if (left_ == 0) state_ = idle;
            continue;
        }
        unsigned char const byte = data[step.used++];
        switch (state_) {
            case idle:
                if (byte == version) {
                    state_ = wait_r;
                    break;
                }
                step.event = bad_start;
                return step;
            case wait_r:
                if (byte == 0) {
                    state_ = len_1;
                    break;
                }
                state_ = idle;
                step.event = bad_reserved;
                return step;
            case len_1:
                length_ = byte;
                state_ = len_2;
                break;
            case len_2:
                length_ = length_ * 256 + byte;
                if (length_ < header_size) {
                    state_ = idle;
                    step.event = too_short;
                    step.length = length_;
                    return step;
                }
                length_ -= header_size;
                left_ = length_;
                state_ = length_ > room_ ? ignore : body;
                step.event = state_ == ignore ? too_long : header;
                step.length = length_;
                return step;
            case body:
            case ignore:
                break;
        }
    }
}

Reader::Step Reader::payload_step(unsigned char const* data, std::size_t size) {
    Step step;
    step.data = data;
    step.size = std::min<std::size_t>(size, left_);
    step.used = step.size;
    left_ -= unsigned(step.size);
    if (left_ > 0) {
        step.event = step.size > 0 ? payload : more;
        return step;
    }
    state_ = idle;
    step.event = frame;
    return step;
}

std::size_t Reader::taken() const {
    switch (state_) {
        case idle:
            return 0;
        case wait_r:
            return 1;
        case len_1:
            return 2;
        case len_2:
            return 3;
        case body:
        case ignore:
            return header_size + length_ - left_;
    }
    return 0;
}

void Frames::feed(unsigned char const* data, std::size_t size) {
    // Consumed bytes are dropped before the buffer grows, so it holds at most
    // the latest chunks of one frame.
    input_.erase(input_.begin(), input_.begin() + std::ptrdiff_t(at_));
    at_ = 0;
    input_.insert(input_.end(), data, data + size);
}

Bytes const* Frames::next() {
    for (;;) {
        Reader::Step const step = reader_.next(input_.data() + at_, input_.size() - at_);
        at_ += step.used;
        switch (step.event) {
            case Reader::more:
                return nullptr;
            case Reader::bad_start:
                skipped_ += 1;
                break;
            case Reader::bad_reserved:
                skipped_ += 2;
                break;
            case Reader::too_short:
                skipped_ += header_size;
                break;
            case Reader::too_long:
                skipped_ += header_size + step.length;
                break;
            case Reader::header:
                payload_.clear();
                payload_.reserve(step.length);
                break;
            case Reader::payload:
                payload_.insert(payload_.end(), step.data, step.data + step.size);
                break;
            case Reader::frame:
                payload_.insert(payload_.end(), step.data, step.data + step.size);
                return &payload_;
        }
    }
}

std::size_t Frames::takeSkipped() {
    std::size_t const n = skipped_;
    skipped_ = 0;
    return n;
}

}  // namespace Tpkt
