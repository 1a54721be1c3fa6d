#include "server/service_unix.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace Control {

void ServiceUnix::Connected(Fd const& fd, std::string const& peer) {
    if (GetState() == State::Deactivating) return;
    TakeConnection(fd, peer);
}

UnixAddress::UnixAddress(std::string const& path) {
    std::memset(&sa_, 0, sizeof(sa_));
    sa_.sun_family = AF_UNIX;
    if (!Problem(path).empty()) return;
    std::memcpy(sa_.sun_path, path.data(), path.size());
    valid_ = true;
}

std::string UnixAddress::Problem(std::string const& path) {
    if (path.empty()) return "no socket path given";
    if (path.size() > max_path)
        return "socket path longer than " + std::to_string(max_path) + " characters: " + path;
    if (path.find('\0') != std::string::npos) return "socket path holds a zero byte";
    return "";
}

std::string UnixAddress::PeerPath(sockaddr_un const& sa, socklen_t size) {
    std::size_t const offset = offsetof(sockaddr_un, sun_path);
    if (size <= offset || sa.sun_family != AF_UNIX) return "";
    std::size_t const room = std::min<std::size_t>(size - offset, sizeof(sa.sun_path));
    return std::string(sa.sun_path, strnlen(sa.sun_path, room));
}

}  // namespace Control
