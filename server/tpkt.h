#pragma once
// Tpkt_protocol: the upper layer of a control-link stack. It frames each
// outgoing message with the 4-byte TPKT header (version 3, a reserved 0, a
// 16-bit big-endian length that counts the header) and cuts the incoming byte
// stream back into whole messages, which it hands to the owning service.
// Framing errors never end a connection: bad bytes are logged and skipped, and
// a frame left incomplete for 3000 ms after its last chunk is dropped.

#include <cstdint>

#include "runtime/containers/packet.h"
#include "runtime/loop/timer.h"
#include "runtime/protocol/protocol.h"

class Tpkt_protocol : public Protocol {
public:
    static constexpr unsigned header_size = 4;
    // The largest payload the 16-bit length field can tell.
    static constexpr unsigned max_payload = 0xFFFF - header_size;
    static constexpr unsigned reassembly_timeout_ms = 3000;

    enum State : uint32_t { idle = 0, wait_r = 1, len_1 = 2, len_2 = 3, body = 4, ignore = 5 };

    Tpkt_protocol();
    ~Tpkt_protocol() override;

    // The name is for lookups only: log lines show the framework's default
    // protocol-info text.
    bool compare_name(Protocol_name const& other) const override { return name_.compare(other); }

    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    void local_activate() override;
    void local_deactivate() override;
    // Puts the header in front of the payload and passes it down. A payload
    // the length field cannot tell is refused (log line) and dropped.
    void message(Packet& p) override;
    // Consumes one chunk of the byte stream.
    void receive(Packet& chunk) override;

    void reset();
    void next_state(State state) { state_ = state; }
    State state() const { return state_; }
    void on_timeout(Timer*);

private:
    void on_idle(Packet& chunk);
    void on_wait_r(Packet& chunk);
    void on_len_1(Packet& chunk);
    void on_len_2(Packet& chunk);
    void on_body(Packet& chunk);
    void on_ignore(Packet& chunk);

    Protocol_name_str name_;
    uint32_t length_ = 0;
    Timer timer_;
    State state_ = idle;
    Packet reassembly_;
};
