#pragma once
// The TCP form of Control::Service: ServiceNet makes a connected TCP socket
// the service's connection (keep-alive on, Nagle off), named after the
// peer's address. The acceptor (acceptor_net.h) and the connector
// (connector_net.h) derive from it.

#include "runtime/system/fd.h"
#include "runtime/system/inet.h"
#include "server/control_service.h"

namespace Control {

class ServiceNet : public Service {
public:
    // How a peer of the family is known.
    using Peer = INet4::Addr;

    // Makes fd the connection (nothing while Deactivating); the caller keeps
    // and closes its own fd.
    void Connected(Fd const& fd, INet4::Addr const& peer);
    INet4::Addr const& peer() const { return peer_; }

private:
    INet4::Addr peer_;
};

}  // namespace Control
