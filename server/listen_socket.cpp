#include "server/listen_socket.h"

#include <iostream>

namespace Control {

ListenStep Listen(Fd const& listener, sockaddr const* address, socklen_t size, bool report) {
    if (::bind(listener.lowlevel_fd(), address, size) != 0) {
        Errno const error;
        if (report)
            std::cerr << "can't bind to socket: " << '"' << error << '"' << ' ' << " waiting..."
                      << std::endl;
        return ListenStep::bind_failed;
    }
    if (::listen(listener.lowlevel_fd(), 1) != 0) {
        Errno const error;
        if (report) std::cerr << "can't listen socket: " << error << std::endl;
        return ListenStep::failed;
    }
    if (!listener.NonBlock()) {
        Errno const error;
        if (report) std::cerr << "can't set socket to non block mode: " << error << std::endl;
        return ListenStep::failed;
    }
    return ListenStep::listening;
}

}  // namespace Control
