#pragma once
// Tpkt_protocol: the upper layer of a control-link stack. It frames each
// outgoing message with the 4-byte TPKT header (tpkt_frame.h) and cuts the
// incoming byte stream back into whole messages, which it hands to the owning
// service. Framing errors never end a connection: bad bytes are logged and
// skipped, and a frame left incomplete for 3000 ms after its last chunk is
// dropped.

#include <cstdint>

#include "runtime/containers/packet.h"
#include "runtime/loop/timer.h"
#include "runtime/protocol/protocol.h"
#include "server/tpkt_frame.h"

class Tpkt_protocol : public Protocol {
public:
    static constexpr unsigned header_size = Tpkt::header_size;
    static constexpr unsigned max_payload = Tpkt::max_payload;
    static constexpr unsigned reassembly_timeout_ms = 3000;

    using State = Tpkt::Reader::State;

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
    void next_state(State state) { reader_.state(state); }
    State state() const { return reader_.state(); }
    void on_timeout(Timer*);

private:
    Protocol_name_str name_;
    // A fresh pool packet holds any payload the length field can tell.
    Tpkt::Reader reader_{Packet::packet_max_size};
    Timer timer_;
    Packet reassembly_;
};
