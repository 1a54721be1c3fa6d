#include "server/connector_unix.h"

#include <sys/socket.h>
#include <unistd.h>

#include <iostream>

#include "runtime/system/platform_path.h"

namespace Control {

namespace {

constexpr char const* event_name = "ConnectorUnix::OnSocketEvent";

std::string resolve(std::string const& path) {
    return path.empty() ? path : Platform::path(path);
}

}  // namespace

ConnectorUnix::ConnectorUnix()
    : Connector(event_name, "domain socket", AF_UNIX, 0, ConnectorDelays()) {}

ConnectorUnix::ConnectorUnix(std::string const& server, ConnectorDelays const& delays)
    : ConnectorUnix(server, "", delays) {}

ConnectorUnix::ConnectorUnix(std::string const& server, std::string const& local,
                             ConnectorDelays const& delays)
    : Connector(event_name, "domain socket", AF_UNIX, 0, delays), local_(resolve(local)) {
    target(resolve(server));
}

ConnectorUnix::~ConnectorUnix() = default;

void ConnectorUnix::TryConnect() {
    std::string problem = UnixAddress::Problem(target());
    if (problem.empty() && !local_.empty()) problem = UnixAddress::Problem(local_);
    if (!problem.empty()) {
        std::cerr << "can't connect to domain socket: " << problem << std::endl;
        Deactivate();
        return;
    }
    if (!OpenSocket()) return;
    if (!local_.empty()) {
        UnixAddress const local(local_);
        ::unlink(local_.c_str());
        if (::bind(socket().lowlevel_fd(), local, local.size()) != 0) {
            Errno const error;
            std::cerr << "can't bind to domain socket '" << local_ << "': " << '"' << error
                      << std::endl;
        }
    }
    UnixAddress const server(target());
    if (Connect(server, server.size()) != 0) {
        Refused();
        return;
    }
    std::clog << "connected to " << target() << std::endl;
    WaitForConnect();
    Established();
}

}  // namespace Control
