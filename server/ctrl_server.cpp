#include "server/ctrl_server.h"

#include <iostream>
#include <iterator>

#include "asn1/asn1.h"
#include "runtime/log/ext.h"

CtrlSrv::Server ctrlServer;

namespace CtrlSrv {

namespace {

char const link_name[] = "server";

}  // namespace

// Service.

bool Service::CheckServer() const {
    if (server_) return true;
    std::cerr << "CtrlSrv::Service error! service not connected to server." << std::endl;
    return false;
}

void Service::Success() {
    if (CheckServer()) server_->Success();
}

void Service::Error(LGCP::ErrorCause::NamedNumber cause) {
    if (CheckServer()) server_->Error(cause);
}

void Service::delayedSuccess(unsigned int slot, unsigned int seq) {
    if (CheckServer()) server_->delayedSuccess(slot, seq);
}

unsigned int Service::GetSlot() const {
    return CheckServer() ? server_->GetSlot() : Server::no_slot;
}

bool Service::IsSlotPresent() const {
    return CheckServer() && server_->IsSlotPresent();
}

unsigned int Service::delayResponse() {
    return CheckServer() ? server_->delayResponse() : Server::no_slot;
}

void Service::offer_signal(LGCP::Signal const& signal) {
    for (Service* other : server_->services())
        if (other != this) other->OnSignal(signal);
}

void Service::SendSignal(LGCP::Signal const& signal) {
    if (!CheckServer()) return;
    offer_signal(signal);
    server_->SendSignal(signal);
}

void Service::SendSignal(unsigned int slot, LGCP::Signal const& signal) {
    if (!CheckServer()) return;
    offer_signal(signal);
    server_->SendSignal(slot, signal);
}

bool Service::CheckServerConnection(bool& connected) const {
    return CheckServer() && server_->CheckServerConnection(connected);
}

// Server.

Server::~Server() {
    // At exit the link may still be held (start-up never reached the end);
    // its descriptors and loop registrations go with it.
    if (link_) link_->UnBind();
}

void Server::Bind(Service* service) {
    services_.push_back(service);
    service->server_ = this;
}

bool Server::Activate(Control::Service* link) {
    Deactivate();
    link_.reset(link);
    link_->service_name(link_name);
    link_->Bind(this);
    return link_->Activate();
}

void Server::Deactivate() {
    if (!link_) return;
    link_->Deactivate();
    OnDisconnect();
    link_->UnBind();
    link_.reset();
}

void Server::PutHeader(std::ostream& os) const {
    if (!link_)
        os << "ctrl [null]: ";
    else if (link_->IsConnected())
        os << "ctrl [" << link_->GetAddr() << "]: ";
    else
        os << "ctrl [not connected]: ";
}

void Server::OnConnect() {
    std::clog << ext::header(this) << "controller connect." << std::endl;
    for (Service* service : services_) service->OnConnect();
}

void Server::OnDisconnect() {
    for (Service* service : services_) service->OnDisconnect();
}

void Server::OnHeartbeatTimeout() {
    if (link_) link_->Disconnect();
}

bool Server::CheckServerConnection(bool& connected) const {
    if (!link_) return false;
    connected = link_->IsConnected();
    return true;
}

void Server::OnMessage(char const* data, int length) {
    // The renewing decode leaves nothing of an earlier frame in the kept
    // message. A frame that arrives while one is being handled (the kept
    // message is in use) gets a message of its own.
    if (receiving_) {
        LGCP::Message message;
        Receive(data, length, message, nullptr);
        return;
    }
    receiving_ = true;
    Receive(data, length, received_, &spares_);
    receiving_ = false;
}

void Server::Receive(char const* data, int length, LGCP::Message& message,
                     ASN1::SpareValues* spares) {
    // Aligned PER without a coder environment, as ASN1::decode with a PER
    // environment left out of the decoder.
    ASN1::PERDecoder decoder(data, data + length, nullptr, true);
    if (spares) decoder.renew(*spares);
    if (message.accept(decoder)) {
        Dispatch(message);
    } else {
        std::cerr << ext::header(this) << "receive fail: decode error!" << std::endl
                  << " msg: " << ext::hex(data, unsigned(length)) << std::endl;
    }
    slot_ = no_slot;
}

void Server::Dispatch(LGCP::Message const& message) {
    answered_ = not_answered;
    seq_present_ = message.seq_isPresent();
    if (seq_present_) seq_ = message.get_seq().getValue();
    slot_ = no_slot;

    if (!message.get_pdu().command_isSelected()) {
        Error(LGCP::ErrorCause::unexpectedMsgType);
        return;
    }
    if (message.slot_isPresent()) {
        unsigned const slot = unsigned(message.get_slot().getValue());
        if (slot > max_slot) {
            Error(LGCP::ErrorCause::invalidSlot);
            return;
        }
        slot_ = slot;
    }

    LGCP::Command const& command = message.get_pdu().get_command();
    for (Service* service : services_) {
        if (!service->OnCommand(command)) continue;
        if (answered_ == not_answered) {
            std::cerr << ext::header(this) << "software error: server do NOT send ack!!!"
                      << std::endl
                      << "please report this to the manufacturer's technical support." << std::endl;
            Error(LGCP::ErrorCause::internal);
        }
        return;
    }
    Error(LGCP::ErrorCause::unexpectedMsgType);
}

LGCP::Message& Server::Envelope(LGCP::Message& answer) const {
    if (seq_present_) {
        answer.set_seq(seq_);
    } else {
        answer.omit_seq();
    }
    if (slot_ != no_slot) {
        answer.set_slot(slot_);
    } else {
        answer.omit_slot();
    }
    return answer;
}

void Server::Success() {
    if (answered_ != not_answered) return;
    if (!success_.get_pdu().response_isSelected())
        success_.set_pdu().select_response().select_success();
    SendMsg(Envelope(success_));
    answered_ = success_sent;
}

void Server::Error(LGCP::ErrorCause::NamedNumber cause) {
    if (answered_ == error_sent) return;
    LGCP::Message& message = Envelope(error_);
    message.set_pdu().select_response().select_error(cause);
    SendMsg(message);
    answered_ = error_sent;
}

unsigned int Server::delayResponse() {
    answered_ = success_sent;
    return unsigned(seq_);
}

void Server::delayedSuccess(unsigned int slot, unsigned int seq) {
    LGCP::Message message;
    message.set_seq(int(seq));
    message.set_slot(slot);
    message.set_pdu().select_response().select_success();
    SendMsg(message);
}

void Server::SendSignal(LGCP::Signal const& signal) {
    LGCP::Message message;
    if (slot_ != no_slot) message.set_slot(slot_);
    message.set_pdu().select_signal(signal);
    SendMsg(message);
}

void Server::SendSignal(unsigned int slot, LGCP::Signal const& signal) {
    LGCP::Message message;
    message.set_slot(slot);
    message.set_pdu().select_signal(signal);
    SendMsg(message);
}

void Server::SendMsg(LGCP::Message const& message) {
    // Encoded into the kept vector, whose room outlives the message.
    octets_.clear();
    ASN1::CoderEnv env;
    env.set_encodingRule(ASN1::CoderEnv::per_Aligned);
    if (!ASN1::encode(message, &env, std::back_inserter(octets_))) {
        std::cerr << ext::header(this) << "send fail: encode error!" << message << std::endl;
        return;
    }
    if (!link_) {
        std::cerr << ext::header(this) << "send fail: Service not attached!" << std::endl;
        return;
    }
    link_->Send(octets_.data(), int(octets_.size()));
}

}  // namespace CtrlSrv
