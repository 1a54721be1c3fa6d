#include "tests/support/log_socket.h"

#include <poll.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace support {

LogSocket::LogSocket(std::string const& root, int type) : path_(root + "/dev/log") {
    ::mkdir((root + "/dev").c_str(), 0755);
    bind(type);
}

void LogSocket::bind(int type) {
    ::unlink(path_.c_str());
    sock_ = Fd(::socket(AF_UNIX, type, 0));
    sockaddr_un address;
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    ok_ = ::bind(sock_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (ok_ && type == SOCK_STREAM) ok_ = ::listen(sock_.lowlevel_fd(), 1) == 0;
}

void LogSocket::shut() {
    sock_.close();
    ::unlink(path_.c_str());
}

std::string LogSocket::receive(int timeout_ms) {
    pollfd p = {sock_.lowlevel_fd(), POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) != 1) return "<none>";
    std::vector<char> buffer(70000);
    ssize_t const n = ::recv(sock_.lowlevel_fd(), buffer.data(), buffer.size(), 0);
    return n < 0 ? "<error>" : std::string(buffer.data(), size_t(n));
}

std::vector<std::string> records(std::string const& datagram) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < datagram.size()) {
        size_t const zero = datagram.find('\0', start);
        if (zero == std::string::npos) {
            out.push_back(datagram.substr(start) + "<no zero byte>");
            break;
        }
        out.push_back(datagram.substr(start, zero - start));
        start = zero + 1;
    }
    return out;
}

std::string message(std::string const& record) {
    size_t const colon = record.find(": ");
    return colon == std::string::npos ? record : record.substr(colon + 2);
}

}  // namespace support
