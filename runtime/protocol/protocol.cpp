#include "runtime/protocol/protocol.h"

#include <ostream>

#include "runtime/protocol/protocols_list.h"

void Protocol_info::out(std::ostream& os) const {
    os << name().name();
}

std::ostream& operator<<(std::ostream& os, Protocol_info const& info) {
    info.out(os);
    return os;
}

Protocol::~Protocol() {
    if (owner) owner->unlink(this);
}

void Protocol::local_prepare_head(Packet& p) {
    p.reserve_head(0);
}

void Protocol::local_prepare_tail(Packet& p) {
    p.reserve_tail(0);
}

Smart_pointer<Internal_protocol_status> Protocol::local_initialize() {
    return new Protocol_status_success(this, "success");
}

void Protocol::local_activate() {
    on_activate();
}

void Protocol::local_deactivate() {
    on_deactivate(new Protocol_status_success(this, "success"));
}

void Protocol::transmit(Packet& p) {
    if (Protocol* lower = below())
        lower->message(p);
    else if (owner)
        owner->transmit(p);
}

void Protocol::on_message(Packet& p) {
    if (Protocol* upper = above())
        upper->receive(p);
    else if (owner)
        owner->on_message(p);
}

void Protocol::on_activate() {
    if (Protocol* upper = above())
        upper->local_activate();
    else if (owner)
        owner->on_activated(this);
}

void Protocol::on_deactivate(Smart_pointer<Internal_protocol_status> status) {
    if (status->success()) {
        // A requested deactivation done here continues with the layer below,
        // which reports with a status of its own.
        if (Protocol* lower = below())
            lower->deactivate();
        else if (owner)
            owner->on_deactivated(this, status);
        return;
    }
    // A failure climbs unchanged.
    if (Protocol* upper = above())
        upper->on_deactivate(status);
    else if (owner)
        owner->on_deactivated(this, status);
}

void Protocol::on_status(Smart_pointer<Internal_protocol_status> status) {
    if (Protocol* upper = above())
        upper->on_status(status);
    else if (owner)
        owner->on_status(status);
}

void Protocol::message(Packet&) {}

void Protocol::receive(Packet&) {}

void Protocol::activate() {
    if (Protocol* lower = below())
        lower->activate();
    else
        local_activate();
}

void Protocol::deactivate() {
    local_deactivate();
}

void Protocol::protocol_info(std::ostream&) const {}

Smart_pointer<Internal_protocol_status> Protocol::initialize() {
    if (Protocol* lower = below()) {
        Smart_pointer<Internal_protocol_status> status = lower->initialize();
        if (!status->success()) return status;
    }
    return local_initialize();
}

void Protocol::prepare_head(Packet& p) {
    descend_prepare_head(p);
    local_prepare_head(p);
}

void Protocol::prepare_tail(Packet& p) {
    descend_prepare_tail(p);
    local_prepare_tail(p);
}

void Protocol::descend_prepare_head(Packet& p) {
    if (Protocol* lower = below()) lower->prepare_head(p);
}

void Protocol::descend_prepare_tail(Packet& p) {
    if (Protocol* lower = below()) lower->prepare_tail(p);
}
