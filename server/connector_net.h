#pragma once
// Control::ConnectorNet opens a framed control-style connection to a fixed
// IPv4 peer without blocking the main loop, and opens it again when it
// drops, on the retry schedule of connector.h: failed attempts are retried
// after 1000 ms up to seven times after each Activate(), then after 20, 15 or
// 12 seconds depending on how the attempt failed; a connection that drops is
// opened again 10 seconds later. Once connected it is a Control::Service like
// any other: TPKT-framed messages through Send and the bound Control::Notify.

#include <string>

#include "runtime/system/inet.h"
#include "server/connector.h"
#include "server/service_net.h"

namespace Control {

class ConnectorNet : public Connector<ServiceNet> {
public:
    ConnectorNet();
    ConnectorNet(std::string const& host, unsigned short port,
                 ConnectorDelays const& delays = ConnectorDelays());
    // "a.b.c.d" or "a.b.c.d:port" (port 0 when none is given).
    explicit ConnectorNet(std::string const& address,
                          ConnectorDelays const& delays = ConnectorDelays());
    ~ConnectorNet() override;

    void TryConnect() override;

    std::string const& host() const { return host_; }
    unsigned short port() const { return port_; }

protected:
    // Reads how the connect in progress ended.
    void ConnectDone() override;

private:
    // The attempt's peer address, built afresh from the port and the host
    // text; false when the host text is not a dotted IPv4 address.
    bool BuildAddress();

    unsigned short port_ = 0;
    std::string host_;
};

}  // namespace Control
