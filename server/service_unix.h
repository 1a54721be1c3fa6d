#pragma once
// The Unix-domain form of Control::Service: ServiceUnix makes a connected
// Unix stream socket the service's connection, named after the peer's socket
// path. UnixAddress is the AF_UNIX address the acceptor and the connector
// bind and connect with. Paths are resolved through Platform::path by their
// users before they get here.

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

#include "runtime/system/fd.h"
#include "server/control_service.h"

namespace Control {

class ServiceUnix : public Service {
public:
    // How a peer of the family is known: its socket path.
    using Peer = std::string;

    // Makes fd the connection (nothing while Deactivating); the caller keeps
    // and closes its own fd. No socket option is set.
    void Connected(Fd const& fd, std::string const& peer);
};

// An AF_UNIX address holding a socket path. The path field holds 107
// characters and a terminating zero; a longer path cannot be held, and is
// refused rather than cut to a name nobody gave.
class UnixAddress {
public:
    static constexpr unsigned max_path = sizeof(sockaddr_un::sun_path) - 1;

    explicit UnixAddress(std::string const& path);
    bool valid() const { return valid_; }
    operator sockaddr const*() const { return reinterpret_cast<sockaddr const*>(&sa_); }
    // The full address length, whatever the path's length.
    socklen_t size() const { return sizeof(sa_); }

    // Why a path cannot be used ("" when it can): empty, or too long.
    static std::string Problem(std::string const& path);
    // The path in an address returned by accept or getpeername; empty for
    // an unbound client.
    static std::string PeerPath(sockaddr_un const& sa, socklen_t size);

private:
    sockaddr_un sa_;
    bool valid_ = false;
};

}  // namespace Control
