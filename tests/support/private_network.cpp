#include "tests/support/private_network.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace support {

namespace {

bool writeFile(std::string const& path, std::string const& text) {
    int const fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool const done = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return done;
}

bool loopbackUp() {
    int const sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(sock, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(sock, SIOCSIFFLAGS, &request) == 0;
    ::close(sock);
    return up;
}

// The inode of the socket listening on the port, from a /proc/net table.
unsigned long listeningInode(char const* table, int port) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
        char local[64] = {};
        unsigned state = 0;
        unsigned long inode = 0;
        // sl local rem st tx:rx tr:when retrnsmt uid timeout inode
        if (std::sscanf(line.c_str(), " %*s %63s %*s %x %*s %*s %*s %*s %*s %lu", local, &state,
                        &inode) != 3)
            continue;
        std::string const address(local);
        size_t const colon = address.rfind(':');
        if (colon == std::string::npos || state != 0x0A) continue;  // LISTEN
        if (std::stoi(address.substr(colon + 1), nullptr, 16) != port) continue;
        std::string const host = address.substr(0, colon);
        if (host == "0100007F" || host.find_first_not_of('0') == std::string::npos) return inode;
    }
    return 0;
}

}  // namespace

bool privateNetwork() {
    if (::unshare(CLONE_NEWNET) == 0) return loopbackUp();
    uid_t const uid = ::getuid();
    gid_t const gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
    writeFile("/proc/self/setgroups", "deny");
    if (!writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return false;
    return loopbackUp();
}

std::string portHolder(int port) {
    unsigned long inode = listeningInode("/proc/net/tcp", port);
    if (!inode) inode = listeningInode("/proc/net/tcp6", port);
    if (!inode) return "";
    std::string const link = "socket:[" + std::to_string(inode) + "]";
    DIR* const procs = ::opendir("/proc");
    for (dirent* p; procs && (p = ::readdir(procs));) {
        if (p->d_name[0] < '1' || p->d_name[0] > '9') continue;
        std::string const fds = std::string("/proc/") + p->d_name + "/fd";
        DIR* const dir = ::opendir(fds.c_str());
        bool found = false;
        for (dirent* f; dir && !found && (f = ::readdir(dir));) {
            char target[64] = {};
            std::string const fd = fds + "/" + f->d_name;
            found = ::readlink(fd.c_str(), target, sizeof(target) - 1) > 0 && link == target;
        }
        if (dir) ::closedir(dir);
        if (!found) continue;
        std::string const pid = p->d_name;
        ::closedir(procs);
        std::string comm;
        std::getline(std::ifstream("/proc/" + pid + "/comm"), comm);
        return "pid " + pid + " (" + comm + ")";
    }
    if (procs) ::closedir(procs);
    return "a process this user cannot see (socket " + std::to_string(inode) + ")";
}

std::string claimLoopbackPort(int port, std::chrono::milliseconds bound) {
    if (privateNetwork()) return "";
    auto const end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        std::string const holder = portHolder(port);
        if (holder.empty()) return "";
        if (std::chrono::steady_clock::now() >= end)
            return "127.0.0.1:" + std::to_string(port) + " still held after " +
                   std::to_string(bound.count()) + " ms by " + holder;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace support
