#include "server/tpkt.h"

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
    reader_.reset();
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
    Tpkt::Header const header = Tpkt::MakeHeader(length);
    std::memcpy(p.push(header_size), header.data(), header_size);
    point.end();
    transmit(p);
}

void Tpkt_protocol::receive(Packet& chunk) {
    unsigned const size = chunk.length();
    unsigned char const* const data = size > 0 ? chunk.pull(size) : nullptr;
    // Steps are taken only while the chunk holds bytes: an empty payload,
    // whole right after its header, goes up when the next chunk arrives.
    for (unsigned at = 0; at < size;) {
        Tpkt::Reader::Step const step = reader_.next(data + at, size - at);
        at += unsigned(step.used);
        switch (step.event) {
            case Tpkt::Reader::more:
                break;
            case Tpkt::Reader::bad_start:
                std::clog << *this << " bad TPKT packet start." << std::endl;
                break;
            case Tpkt::Reader::bad_reserved:
                std::clog << *this << " bad TPKT reserved." << std::endl;
                break;
            case Tpkt::Reader::too_short:
                std::clog << "TPKT too small " << step.length << std::endl;
                break;
            case Tpkt::Reader::too_long:
                std::clog << "TPKT length too big, received = " << step.length
                          << " max = " << Packet::packet_max_size << std::endl;
                break;
            case Tpkt::Reader::header:
                // The buffer of the last frame is used again when nothing
                // above kept it.
                reassembly_.reuse(0);
                break;
            case Tpkt::Reader::payload:
            case Tpkt::Reader::frame:
                if (step.size > 0)
                    std::memcpy(reassembly_.put(unsigned(step.size)), step.data, step.size);
                if (step.event == Tpkt::Reader::frame) {
                    // A handle of its own: a reset while the payload is
                    // handled above leaves it whole.
                    Packet payload = reassembly_;
                    on_message(payload);
                }
                break;
        }
    }
    // A frame gets 3000 ms from the last chunk that left it incomplete.
    if (reader_.state() == Tpkt::Reader::idle)
        timer_.reset();
    else
        timer_.set(reassembly_timeout_ms, &Tpkt_protocol::on_timeout, this);
}

void Tpkt_protocol::on_timeout(Timer*) {
    std::clog << " TPKT packet timeout." << std::endl;
    reset();
}
