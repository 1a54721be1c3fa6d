#include "server/connector_net.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <iostream>

namespace Control {

namespace {

constexpr char const* event_name = "ConnectorNet::OnSocketEvent";

}  // namespace

ConnectorNet::ConnectorNet()
    : Connector(event_name, "socket", AF_INET, IPPROTO_TCP, ConnectorDelays()) {}

ConnectorNet::ConnectorNet(std::string const& host, unsigned short port,
                           ConnectorDelays const& delays)
    : Connector(event_name, "socket", AF_INET, IPPROTO_TCP, delays), port_(port), host_(host) {}

ConnectorNet::ConnectorNet(std::string const& address, ConnectorDelays const& delays)
    : Connector(event_name, "socket", AF_INET, IPPROTO_TCP, delays) {
    INet4::Addr parsed;
    int port = -1;
    parsed.Assign(address, &port);
    port_ = port > 0 ? static_cast<unsigned short>(port) : 0;
    host_ = address.substr(0, address.find(':'));
}

ConnectorNet::~ConnectorNet() = default;

bool ConnectorNet::BuildAddress() {
    INet4::Addr address;
    address.port(port_);
    // A host text with ":port" overrides the port.
    bool const valid = address.Assign(host_, nullptr);
    target(address);
    return valid;
}

void ConnectorNet::TryConnect() {
    if (!BuildAddress()) {
        // 0.0.0.0 would reach this host instead of the peer that was meant.
        std::cerr << "can't connect to " << host_ << ":" << port_ << " : not a dotted IPv4 address"
                  << std::endl;
        Deactivate();
        return;
    }
    if (!OpenSocket()) return;
    if (Connect(target(), target().size()) == 0) {
        std::clog << "already connected to " << target() << std::endl;
        Established();
        return;
    }
    if (errno == EINPROGRESS) {
        WaitForConnect();
        return;
    }
    Refused();
}

void ConnectorNet::ConnectDone() {
    int error = 0;
    socklen_t size = sizeof(error);
    if (::getsockopt(socket().lowlevel_fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        Errno const failure;
        std::cerr << "getsockopt(SOL_SOCKET,SO_ERROR) fail: " << failure << std::endl;
        Deactivate();
        return;
    }
    if (error != 0) {
        std::cerr << "fail to connect to " << target() << std::endl;
        ScheduleRetry(delays().so_error_ms);
        return;
    }
    std::cout << "connected to " << target() << "." << std::endl;
    Established();
}

}  // namespace Control
