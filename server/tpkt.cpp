#include "server/tpkt.h"

#include <algorithm>
#include <cstring>
#include <iostream>

#include "runtime/loop/profile.h"

Tpkt_protocol::Tpkt_protocol() : name_("TPKT") {}

Tpkt_protocol::~Tpkt_protocol() = default;

void Tpkt_protocol::local_prepare_head(Packet& p) {
    p.reserve_head(header_size);
}

void Tpkt_protocol::local_prepare_tail(Packet& p) {
    p.reserve_tail(0);
}

void Tpkt_protocol::local_activate() {
    // Activation ends here: the owner announces a connection itself.
    reset();
}

void Tpkt_protocol::local_deactivate() {
    reset();
    on_deactivate(new Protocol_status_success(this, "TPKT deactivated"));
}

void Tpkt_protocol::reset() {
    timer_.reset();
    reassembly_.clear();
    state_ = idle;
}

void Tpkt_protocol::message(Packet& p) {
    static Profile::Point point("Tpkt_protocol::message");
    unsigned const length = p.length();
    if (length > max_payload) {
        std::clog << "TPKT message too big, length = " << length << " max = " << max_payload
                  << std::endl;
        return;
    }
    point.begin();
    p.push16_b(static_cast<unsigned short>(length + header_size));
    p.push8(0);
    p.push8(3);
    point.end();
    transmit(p);
}

void Tpkt_protocol::receive(Packet& chunk) {
    while (!chunk.empty()) {
        switch (state_) {
            case idle:
                on_idle(chunk);
                break;
            case wait_r:
                on_wait_r(chunk);
                break;
            case len_1:
                on_len_1(chunk);
                break;
            case len_2:
                on_len_2(chunk);
                break;
            case body:
                on_body(chunk);
                break;
            case ignore:
                on_ignore(chunk);
                break;
        }
    }
    // A frame gets 3000 ms from the last chunk that left it incomplete.
    if (state_ == idle)
        timer_.reset();
    else
        timer_.set(reassembly_timeout_ms, &Tpkt_protocol::on_timeout, this);
}

void Tpkt_protocol::on_idle(Packet& chunk) {
    if (chunk.pull8() == 3) {
        state_ = wait_r;
        return;
    }
    std::clog << *this << " bad TPKT packet start." << std::endl;
}

void Tpkt_protocol::on_wait_r(Packet& chunk) {
    if (chunk.pull8() == 0) {
        state_ = len_1;
        return;
    }
    std::clog << *this << " bad TPKT reserved." << std::endl;
    state_ = idle;
}

void Tpkt_protocol::on_len_1(Packet& chunk) {
    length_ = chunk.pull8();
    state_ = len_2;
}

void Tpkt_protocol::on_len_2(Packet& chunk) {
    length_ = length_ * 256 + chunk.pull8();
    if (length_ < header_size) {
        std::clog << "TPKT too small " << length_ << std::endl;
        state_ = idle;
        return;
    }
    length_ -= header_size;
    reassembly_.clear();
    reassembly_.reserve_head(0);
    unsigned const room = reassembly_.tailroom();
    if (length_ > room) {
        std::clog << "TPKT length too big, received = " << length_ << " max = " << room
                  << std::endl;
        reassembly_.clear();
        state_ = ignore;
        return;
    }
    state_ = body;
    // An empty payload is complete at once; it goes up when the next chunk
    // arrives (the handlers run only while a chunk holds bytes).
}

void Tpkt_protocol::on_body(Packet& chunk) {
    unsigned const count = std::min(chunk.length(), length_);
    if (count > 0) {
        std::memcpy(reassembly_.put(count), chunk.pull(count), count);
        length_ -= count;
    }
    if (length_ != 0) return;
    state_ = idle;
    Packet payload = reassembly_;
    reassembly_.clear();
    on_message(payload);
}

void Tpkt_protocol::on_ignore(Packet& chunk) {
    unsigned const count = std::min(chunk.length(), length_);
    chunk.pull(count);
    length_ -= count;
    if (length_ == 0) state_ = idle;
}

void Tpkt_protocol::on_timeout(Timer*) {
    std::clog << " TPKT packet timeout." << std::endl;
    reset();
}
