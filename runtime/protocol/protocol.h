#pragma once
// Protocol: one layer of a protocol stack. Layers are held bottom first in a
// ProtocolsList, which owns them; a layer talks only to its neighbours in that
// list, or at the ends of the list to the list itself (its owner).
//
//   data down:   message -> transmit -> the lower layer's message
//   data up:     receive -> on_message -> the upper layer's receive
//   activation starts at the bottom and climbs; a requested deactivation
//   descends from the layer asked; a failure (an error status) climbs.
//
// The base class is a transparent layer whose message and receive drop the
// packet; a real layer overrides what it needs: message/receive to add and
// take off its header, local_prepare_head to reserve the header room,
// local_activate/local_deactivate to bring itself up and down.

#include <iosfwd>

#include "runtime/containers/lists.h"
#include "runtime/containers/packet.h"
#include "runtime/protocol/protocol_name.h"
#include "runtime/protocol/protocol_status.h"

class ProtocolsList;

// What every layer has for logs and lookups: a name.
class Protocol_info {
public:
    virtual ~Protocol_info() = default;
    virtual bool compare_name(Protocol_name const&) const { return false; }
    // A named layer overrides this to return its own Protocol_name_str.
    virtual Protocol_name const& name() const { return null_name_; }

    void out(std::ostream& os) const;

private:
    Protocol_name_null null_name_;
};

std::ostream& operator<<(std::ostream& os, Protocol_info const& info);

class Protocol : public F_dual_list_item<Protocol>, public Protocol_info {
public:
    Protocol() = default;
    Protocol(Protocol const&) = delete;
    Protocol& operator=(Protocol const&) = delete;
    // Takes the layer out of its owner's list.
    ~Protocol() override;

    // Room for this layer's header and trailer in an outgoing packet.
    virtual void local_prepare_head(Packet& p);
    virtual void local_prepare_tail(Packet& p);
    // Prepares the layer; an error status stops the layers above.
    virtual Smart_pointer<Internal_protocol_status> local_initialize();
    // Brings the layer up; calls on_activate() when it is up.
    virtual void local_activate();
    // Takes the layer down; calls on_deactivate() with a success status when done.
    virtual void local_deactivate();

    // A packet going down: to the layer below, else to the owner.
    virtual void transmit(Packet& p);
    // A packet going up: to the layer above, else to the owner.
    virtual void on_message(Packet& p);
    // This layer is up: the layer above starts, else the owner hears of it.
    virtual void on_activate();
    // This layer went down: a success continues the requested deactivation
    // downwards, an error climbs unchanged to the layers above.
    virtual void on_deactivate(Smart_pointer<Internal_protocol_status> status);
    // A status that climbs to the layers above and then to the owner.
    virtual void on_status(Smart_pointer<Internal_protocol_status> status);

    // A packet from above, to be sent; the base drops it.
    virtual void message(Packet& p);
    // A packet from below; the base drops it.
    virtual void receive(Packet& p);
    // Activates every layer from the bottom of the list up to this one.
    virtual void activate();
    // Starts a deactivation here; it descends to the bottom.
    virtual void deactivate();
    virtual void protocol_info(std::ostream& os) const;

    // Initialises the layers from the bottom up to this one; the first
    // failure is returned and stops the chain.
    Smart_pointer<Internal_protocol_status> initialize();
    // Reserves the header (trailer) room of every layer from the bottom up to
    // this one; on a null packet the lowest layer's reservation takes the buffer.
    void prepare_head(Packet& p);
    void prepare_tail(Packet& p);
    void descend_prepare_head(Packet& p);
    void descend_prepare_tail(Packet& p);

    ProtocolsList* get_owner() const { return owner; }
    Protocol* below() const { return get_prev(); }
    Protocol* above() const { return get_next(); }

private:
    friend class ProtocolsList;

    ProtocolsList* owner = nullptr;
};
