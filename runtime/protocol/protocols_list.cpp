#include "runtime/protocol/protocols_list.h"

ProtocolsList::~ProtocolsList() {
    while (Protocol* member = remove_from_tail()) {
        member->owner = nullptr;
        delete member;
    }
}

void ProtocolsList::on_activated(Protocol*) {}

void ProtocolsList::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>) {}

bool ProtocolsList::adoptable(Protocol* p) {
    if (!p || p == this) return false;
    if (p->owner) p->owner->unlink(p);
    return true;
}

Protocol* ProtocolsList::add_protocol_head(Protocol* p) {
    if (!adoptable(p)) return nullptr;
    insert_to_head(p);
    p->owner = this;
    return p;
}

Protocol* ProtocolsList::add_protocol_tail(Protocol* p) {
    if (!adoptable(p)) return nullptr;
    insert_to_tail(p);
    p->owner = this;
    return p;
}

Protocol* ProtocolsList::search(Protocol_name const& name) const {
    for (Protocol* member : *this)
        if (member->compare_name(name)) return member;
    return nullptr;
}

void ProtocolsList::unlink(Protocol* member) {
    remove(member);
    member->owner = nullptr;
}

ProtocolsFamily::~ProtocolsFamily() = default;

void ProtocolsFamily::local_prepare_head(Packet& p) {
    if (Protocol* t = top()) t->prepare_head(p);
}

void ProtocolsFamily::local_prepare_tail(Packet& p) {
    if (Protocol* t = top()) t->prepare_tail(p);
}

Smart_pointer<Internal_protocol_status> ProtocolsFamily::local_initialize() {
    if (Protocol* t = top()) return t->initialize();
    return new Protocol_initialize_error(this);
}

void ProtocolsFamily::local_activate() {
    if (Protocol* t = top()) t->activate();
}

void ProtocolsFamily::local_deactivate() {
    if (Protocol* t = top()) t->deactivate();
}

void ProtocolsFamily::message(Packet& p) {
    if (Protocol* t = top()) t->message(p);
}

void ProtocolsFamily::receive(Packet& p) {
    if (Protocol* b = bottom()) b->receive(p);
}

void ProtocolsFamily::on_activated(Protocol* member) {
    if (member && member == top()) on_activate();
}

void ProtocolsFamily::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status> status) {
    on_deactivate(status);
}
