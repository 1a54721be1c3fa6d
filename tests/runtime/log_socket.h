#pragma once
// Test stand-ins for the log daemon: a temporary MOBREL_ROOT with a Unix
// datagram socket bound at its "/dev/log", from which the tests read what
// the syslog client sends.

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/system/fd.h"

namespace testing_log {

// A temporary directory set as MOBREL_ROOT while the object lives.
class TempRoot {
public:
    TempRoot() {
        char templ[] = "/tmp/mobrel-log-XXXXXX";
        dir_ = mkdtemp(templ);
        mkdir((dir_ + "/dev").c_str(), 0755);
        setenv("MOBREL_ROOT", dir_.c_str(), 1);
    }
    ~TempRoot() {
        unsetenv("MOBREL_ROOT");
        std::string const command = "rm -rf '" + dir_ + "'";
        if (system(command.c_str()) != 0) {
        }
    }
    std::string const& dir() const { return dir_; }

private:
    std::string dir_;
};

class LogSocket {
public:
    explicit LogSocket(std::string const& root, int type = SOCK_DGRAM) : path_(root + "/dev/log") {
        bind(type);
    }

    void bind(int type = SOCK_DGRAM) {
        unlink(path_.c_str());
        sock_ = Fd(socket(AF_UNIX, type, 0));
        sockaddr_un address;
        std::memset(&address, 0, sizeof(address));
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        ok_ = ::bind(sock_.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) ==
              0;
        if (ok_ && type == SOCK_STREAM) ok_ = listen(sock_.lowlevel_fd(), 1) == 0;
    }

    // Closes the socket and removes its name, as a stopping log daemon does.
    void shut() {
        sock_.close();
        unlink(path_.c_str());
    }

    bool ok() const { return ok_; }
    int fd() const { return sock_.lowlevel_fd(); }

    // The next datagram, or "<none>" when none arrives within the bound.
    std::string receive(int timeout_ms = 3000) {
        pollfd p = {sock_.lowlevel_fd(), POLLIN, 0};
        if (poll(&p, 1, timeout_ms) != 1) return "<none>";
        std::vector<char> buffer(70000);
        ssize_t const n = recv(sock_.lowlevel_fd(), buffer.data(), buffer.size(), 0);
        return n < 0 ? "<error>" : std::string(buffer.data(), size_t(n));
    }

private:
    std::string path_;
    Fd sock_;
    bool ok_ = false;
};

// The records of a datagram, each without its final zero byte.
inline std::vector<std::string> records(std::string const& datagram) {
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

// The message text of a record: what follows the first ": ".
inline std::string message(std::string const& record) {
    size_t const colon = record.find(": ");
    return colon == std::string::npos ? record : record.substr(colon + 2);
}

}  // namespace testing_log
