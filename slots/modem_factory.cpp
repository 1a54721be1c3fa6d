#include "slots/modem_factory.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <iostream>

#include "hardware/device/device.h"
#include "hardware/device/mctl_driver.h"
#include "hardware/device/netif_driver.h"
#include "hardware/device_names.h"
#include "runtime/log/ext.h"
#include "runtime/system/inet.h"
#include "slots/auth_client.h"
#include "slots/dsp_modem_slot.h"
#include "slots/hdlc_modem_slot.h"

namespace {

unsigned const hdlc_interfaces = 256;

template <class T>
void erase(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

ModemFactory& ModemFactory::instance() {
    static ModemFactory factory;
    return factory;
}

ModemFactory::ModemFactory() {
    IQuery();
    event_.Bind("ModemFactory::OnSocketEvent", &ModemFactory::OnSocketEvent, this);
    Init();
}

ModemFactory::~ModemFactory() = default;

void ModemFactory::PutHeader(std::ostream& os) const {
    os << "modem[" << modems_ << "," << all_.size() << "]: ";
}

void ModemFactory::Init() {
    INet4::Addr address{std::string(helper_address)};
    address.port(helper_port);
    listener_ = Fd(::socket(AF_INET, SOCK_STREAM, 0));
    int const reuse = 1;
    // Connections of an earlier server still closing do not hold the port.
    if (listener_)
        ::setsockopt(listener_.lowlevel_fd(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    if (!listener_ || ::bind(listener_.lowlevel_fd(), address, address.size()) != 0)
        return ListenFailed("fail to bind auth socket: ");
    if (::listen(listener_.lowlevel_fd(), helper_backlog) != 0)
        return ListenFailed("fail to listen auth socket: ");
    if (!listener_.NonBlock()) {
        Errno const error;
        std::cerr << ext::header(this) << "can't set socket to non block mode: " << error
                  << std::endl;
    }
    event_.Schedule(listener_, POLLIN);
    if (listen_failed_) {
        std::cerr << ext::header(this) << "auth socket listens again" << std::endl;
        listen_failed_ = false;
    }
}

void ModemFactory::ListenFailed(char const* what) {
    Errno const error;
    // Said once; the tries after it are silent until one succeeds.
    if (!listen_failed_)
        std::cerr << ext::header(this) << what << error << std::endl;
    listen_failed_ = true;
    listener_.close();
    retry_.set(listen_retry_ms, &ModemFactory::OnListenRetry, this);
}

void ModemFactory::OnListenRetry(Timer*) { Init(); }

void ModemFactory::OnAcceptRetry(Timer*) { event_.SetEvents(POLLIN); }

void ModemFactory::OnSocketEvent(int, short revents) {
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << ext::header(this) << "auth server socket error." << std::endl;
        listener_.close();
        event_.Release();
        event_.UnBind();
        return;
    }
    if (!(revents & POLLIN)) return;
    INet4::Addr peer;
    socklen_t size = peer.size();
    Fd socket(::accept(listener_.lowlevel_fd(), peer, &size));
    if (!socket && (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED)) return;
    if (!socket) {
        // Out of descriptors or memory: the connection waits in the backlog,
        // and the listener, ready on every poll meanwhile, rests a while.
        if (!accept_failed_)
            std::cerr << ext::header(this) << "fail to set nonblock mode." << std::endl;
        accept_failed_ = true;
        event_.SetEvents(0);
        accept_retry_.set(accept_pause_ms, &ModemFactory::OnAcceptRetry, this);
        return;
    }
    accept_failed_ = false;
    if (!socket.NonBlock()) {
        std::cerr << ext::header(this) << "fail to set nonblock mode." << std::endl;
        return;
    }
    if (clients_.size() >= max_helpers) {
        std::cerr << ext::header(this) << "auth connection from " << peer << " refused: "
                  << max_helpers << " helpers connected" << std::endl;
        return;
    }
    auto client = std::make_unique<AuthClient>(std::move(socket), peer, *this);
    // A client the loop cannot watch would never hear its close.
    if (!client->Activate()) {
        Errno const error;
        std::cerr << ext::header(this) << "auth connection from " << peer
                  << " dropped: " << error << std::endl;
        return;
    }
    clients_.push_back(std::move(client));
    std::cerr << ext::header(this) << "incoming auth connection from " << peer << std::endl;
}

void ModemFactory::OnAuth(uint8_t const* frame) {
    int const session = int32_t(PppHelper::ReadHeader(frame).session);
    ModemSlot* const slot = FindModemByDsp(session);
    if (!slot) {
        std::cerr << ext::header(this) << "receive auth request for unknown session " << session
                  << std::endl;
        return;
    }
    slot->OnAuth(frame);
}

bool ModemFactory::SendAuth(PppHelper::Bytes const& frame) {
    int const session = int32_t(PppHelper::ReadHeader(frame.data()).session);
    for (auto const& client : clients_)
        if (client->GetSessionId() == session) return client->Send(frame);
    std::clog << ext::header(this) << "send error: unknown auth " << session << " session."
              << std::endl;
    return false;
}

void ModemFactory::OnAuthSocketDisconnect(AuthClient* client) {
    std::clog << ext::header(this) << "auth client " << client->GetAddr() << " disconnected."
              << std::endl;
    auto const at = std::find_if(clients_.begin(), clients_.end(),
                                 [client](auto const& held) { return held.get() == client; });
    if (at != clients_.end()) clients_.erase(at);
}

Slot* ModemFactory::INewSlot(LGCP::CreateParams const& params) {
    if (!params.modem_isSelected()) return nullptr;
    TERM::ModemParams const& modem = params.get_modem();
    if (modem.ddm_isPresent() && !modem.get_ddm().empty() && !free_.empty()) {
        auto* const slot = new HdlcModemSlot(modem, free_.front());
        free_.erase(free_.begin());
        all_.push_back(slot);
        hdlc_.push_back(slot);
        return slot;
    }
    auto* const slot = new DspModemSlot(modem);
    all_.push_back(slot);
    dsp_.push_back(slot);
    return slot;
}

void ModemFactory::ReleaseModemSlot(DspModemSlot* slot) {
    erase<ModemSlot>(all_, slot);
    erase(dsp_, slot);
}

void ModemFactory::ReleaseModemSlot(HdlcModemSlot* slot) {
    erase<ModemSlot>(all_, slot);
    erase(hdlc_, slot);
    free_.push_back(slot->deviceName());
}

ModemSlot* ModemFactory::FindModemByDsp(int modem) const {
    for (ModemSlot* slot : all_)
        if (slot->EqAuthId(modem)) return slot;
    return nullptr;
}

void ModemFactory::Query(LGCP::Resources& resources) {
    IQuery();
    resources.set_modem(int(modems_));
    resources.set_digital_modems(int(found_));
}

void ModemFactory::IQuery() {
    update_modemDevices();
    update_hdlcDevices();
}

void ModemFactory::update_modemDevices() {
    modems_ = 0;
    Fd const ctl(Device::open(GetModemDevName(), O_RDWR));
    if (!ctl) {
        Errno const error;
        std::cerr << ext::header(this) << "fail to open " << ext::quoted(GetModemDevName())
                  << " : " << error << std::endl;
        return;
    }
    int index =
        Device::ioctlValue(ctl.lowlevel_fd(), Device::MDM_ENUM, static_cast<unsigned long>(-1));
    while (index >= 0) {
        ++modems_;
        index = Device::ioctlValue(ctl.lowlevel_fd(), Device::MDM_ENUM,
                                   static_cast<unsigned long>(index));
    }
    if (errno != ENODEV) {
        Errno const error;
        std::cerr << ext::header(this) << "enum fail: " << error << std::endl;
    }
}

bool ModemFactory::holds(std::string const& interface) const {
    for (HdlcModemSlot const* slot : hdlc_)
        if (slot->deviceName() == interface) return true;
    return false;
}

void ModemFactory::update_hdlcDevices() {
    free_.clear();
    found_ = 0;
    std::string names;
    for (unsigned i = 0; i < hdlc_interfaces; ++i) {
        std::string const name = "hdlc" + std::to_string(i);
        Device::Netif::IndexRecord index;
        Device::Netif::FlagsRecord flags;
        if (Device::netif(name.c_str(), Device::Netif::get_index, index.data(), index.size) < 0 ||
            Device::netif(name.c_str(), Device::Netif::get_flags, flags.data(), flags.size) < 0)
            break;
        uint16_t const bits = flags.get16(0);
        if (!(bits & Device::Netif::point_to_point) || (bits & Device::Netif::loopback)) continue;
        names += " " + name;
        ++found_;
        // An interface that a slot holds is not free, whatever the kernel says.
        if (!holds(name)) free_.push_back(name);
    }
    if (!names.empty())
        std::clog << ext::header(this) << "found point-o-point devices:" << names << std::endl;
}
