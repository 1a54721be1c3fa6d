#pragma once
// Control::ConnectorUnix opens a framed connection to a Unix socket path, and
// opens it again when it drops, on the retry schedule of connector.h: after
// each Activate() seven failed attempts are retried after 1000 ms, later ones
// after 20 seconds (connect refused) or 15 seconds (error reported while
// connecting); a connection that drops is opened again 10 seconds later. It
// can bind its own socket to a local path first, so that the peer sees who
// connects. Paths are resolved through Platform::path when the connector is
// built.

#include <string>

#include "server/connector.h"
#include "server/service_unix.h"

namespace Control {

class ConnectorUnix : public Connector<ServiceUnix> {
public:
    ConnectorUnix();
    explicit ConnectorUnix(std::string const& server,
                           ConnectorDelays const& delays = ConnectorDelays());
    ConnectorUnix(std::string const& server, std::string const& local,
                  ConnectorDelays const& delays = ConnectorDelays());
    ~ConnectorUnix() override;

    // A path that cannot be a socket address ends the attempts at once.
    void TryConnect() override;

    std::string const& server_path() const { return target(); }
    std::string const& local_path() const { return local_; }

private:
    std::string local_;
};

}  // namespace Control
