#pragma once
// Protocol stacks. A ProtocolsList is an owning list of layers, bottom first,
// that is itself a layer; its members report to it through on_activated and
// on_deactivated. A ProtocolsFamily makes the list act as one layer: packets
// handed to it enter its top member, packets received by it enter its bottom
// member, and its activation is the activation of all its members. The control
// link derives from ProtocolsFamily and overrides its hooks (transmit,
// on_message, on_activated, on_deactivated) to take the stack's output and
// state; a family can also be one layer of a bigger stack.
//
// Building: create each layer with new and add it with add_protocol_tail from
// the bottom up (or add_protocol_head from the top down); the stack owns it.
// Sending: on a null Packet call prepare_head, put the payload, call message.

#include "runtime/containers/lists.h"
#include "runtime/protocol/protocol.h"

class ProtocolsList : public Protocol, private F_dual_list<Protocol> {
public:
    ProtocolsList() = default;
    // Deletes the members from the top down.
    ~ProtocolsList() override;

    // A member reports that it is up.
    virtual void on_activated(Protocol* member);
    // A member reports that it went down (success) or failed (error).
    virtual void on_deactivated(Protocol* member, Smart_pointer<Internal_protocol_status> status);
    // Adds p as the new lowest (head) or highest (tail) layer; the list owns
    // it from now on. A layer held by another list leaves that list first.
    // Returns p, or null for a null p or the list itself.
    virtual Protocol* add_protocol_head(Protocol* p);
    virtual Protocol* add_protocol_tail(Protocol* p);

    // The first member, from the bottom, whose compare_name(name) is true.
    Protocol* search(Protocol_name const& name) const;

    // Members, bottom first.
    using F_dual_list<Protocol>::begin;
    using F_dual_list<Protocol>::end;
    using F_dual_list<Protocol>::last;
    using F_dual_list<Protocol>::count;
    Protocol* bottom() const { return front(); }
    Protocol* top() const { return back(); }

private:
    friend class Protocol;

    // Takes a member out of the list (it is being destroyed or moved).
    void unlink(Protocol* member);
    bool adoptable(Protocol* p);
};

class ProtocolsFamily : public ProtocolsList {
public:
    ProtocolsFamily() = default;
    ~ProtocolsFamily() override;

    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    Smart_pointer<Internal_protocol_status> local_initialize() override;
    void local_activate() override;
    void local_deactivate() override;
    // Into the top member; dropped when the family is empty.
    void message(Packet& p) override;
    // Into the bottom member; dropped when the family is empty.
    void receive(Packet& p) override;
    // The family is up when its top member is up; other reports are ignored.
    void on_activated(Protocol* member) override;
    // Whichever member reported, the family itself went down.
    void on_deactivated(Protocol* member, Smart_pointer<Internal_protocol_status> status) override;
};
