#pragma once
// Control::AcceptorUnix listens on a Unix socket path and takes one framed
// connection at a time, as Control::AcceptorNet does on a TCP port
// (acceptor.h): a stale socket file at the path is removed before each bind,
// a failed bind is retried every 5000 ms, and every further connection is
// refused while one stands. The path is resolved through Platform::path when
// the acceptor is built; the socket file is left in place when the acceptor
// stops.

#include <string>

#include "runtime/system/fd.h"
#include "server/acceptor.h"
#include "server/service_unix.h"

namespace Control {

class AcceptorUnix : public Acceptor<ServiceUnix> {
public:
    AcceptorUnix();
    explicit AcceptorUnix(std::string const& path);
    ~AcceptorUnix() override;

    // The resolved socket path.
    std::string const& path() const { return path_; }

protected:
    // False (logged) when the path cannot be a socket address; otherwise
    // listens, or keeps trying to, and returns true.
    bool ImplActivate() override;
    Fd NewSocket() const override;
    ListenStep Listen(Fd const& listener) override;
    std::string PeerOf(sockaddr_storage const& address, socklen_t size) const override;

private:
    std::string path_;
};

}  // namespace Control
