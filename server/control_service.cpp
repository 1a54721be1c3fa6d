#include "server/control_service.h"

#include <cstring>
#include <iostream>

#include "runtime/loop/profile.h"
#include "server/strm_protocol.h"
#include "server/tpkt.h"

namespace Control {

char const* GetTextNotation(Service::State::Type state) {
    switch (state) {
        case Service::State::Idle:
            return "Idle";
        case Service::State::Connecting:
            return "Connecting";
        case Service::State::Deactivating:
            return "Deactivating";
        case Service::State::Connected:
            return "Connected";
    }
    return "Unknown";
}

std::ostream& operator<<(std::ostream& os, Service::State::Type state) {
    return os << GetTextNotation(state);
}

Service::Service() : stream_(new StrmProtocol) {
    add_protocol_tail(stream_);
    add_protocol_tail(new Tpkt_protocol);
    disconnect_call_.Bind(this, &Service::OnDeactivateDPC);
}

Service::~Service() = default;

bool Service::Activate() {
    Deactivate();
    state_ = State::Connecting;
    bool const result = ImplActivate();
    if (!result) state_ = State::Idle;
    return result;
}

void Service::Deactivate() {
    ImplDeactivate();
    state_ = State::Idle;
}

void Service::Disconnect() {
    if (state_ == State::Deactivating) return;
    ProtocolsFamily::deactivate();
}

void Service::Send(char const* data, int length) {
    if (state_ == State::Deactivating) return;
    if (state_ != State::Connected) {
        if (debug_)
            std::cerr << "Control::Service::Send() ignore Send request in " << state_ << " state."
                      << std::endl;
        return;
    }
    if (length < 0 || unsigned(length) > Tpkt_protocol::max_payload) {
        std::cerr << "Control::Service::Send() refuse message of " << length
                  << " bytes: a frame carries at most " << Tpkt_protocol::max_payload << " bytes."
                  << std::endl;
        return;
    }
    static Profile::Point prepare_point("Control::Service::Send [1]");
    static Profile::Point write_point("Control::Service::Send [2]");
    prepare_point.begin();
    // The buffer of the last message is used again: held here alone while
    // this one is prepared and written, it stays out of the pool.
    Packet p = outgoing_;
    outgoing_.clear();
    p.reuse(0);
    prepare_head(p);
    if (length > 0) std::memcpy(p.put(unsigned(length)), data, unsigned(length));
    prepare_point.handOver(write_point);
    message(p);
    write_point.end();
    outgoing_ = p;
}

std::string const& Service::service_name() const {
    return stream_->service_name();
}

void Service::service_name(std::string const& name) {
    stream_->service_name(name);
}

void Service::write_budget(uint32_t ms) {
    stream_->write_budget(ms);
}

uint32_t Service::GetOverflowCounter() const {
    return stream_->GetOverflowCounter();
}

Measure const& Service::get_read_measure() const {
    return stream_->get_read_measure();
}

Measure const& Service::get_write_measure() const {
    return stream_->get_write_measure();
}

void Service::Release() {
    stream_->release();
}

void Service::TakeConnection(Fd const& fd, std::string const& name) {
    name_ = name;
    state_ = State::Connected;
    stream_->attach(fd);
    ProtocolsFamily::activate();
    if (notify_) notify_->OnConnect();
}

void Service::on_message(Packet& p) {
    if (state_ == State::Deactivating || notify_ == nullptr) return;
    Packet const& payload = p;
    char const* data = p.null() ? "" : reinterpret_cast<char const*>(payload.data());
    notify_->OnMessage(data, int(p.length()));
}

void Service::on_activated(Protocol*) {}

void Service::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>) {
    outgoing_.clear();
    if (debug_) std::cerr << "control connection " << name_ << " closed." << std::endl;
    state_ = State::Deactivating;
    disconnect_call_.Activate();
}

void Service::OnDeactivateDPC() {
    disconnect_call_.Deactivate();
    state_ = State::Connecting;
    ImplOnDisconnect();
    if (notify_) notify_->OnDisconnect();
}

}  // namespace Control
