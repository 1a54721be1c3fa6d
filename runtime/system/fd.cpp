#include "runtime/system/fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool NonBlockMode(int fd) {
    int const flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool BlockMode(int fd) {
    int const flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

void SetCloexec(int fd, bool on) {
    int const flags = fcntl(fd, F_GETFD);
    if (flags < 0) return;
    fcntl(fd, F_SETFD, on ? flags | FD_CLOEXEC : flags & ~FD_CLOEXEC);
}

Fd::Fd(int fd) : fd_(fd) {
    if (fd_ >= 0) SetCloexec(fd_, true);
}

Fd& Fd::operator=(Fd const& o) {
    if (this == &o) return *this;
    close();
    fd_ = o.dup();
    return *this;
}

Fd& Fd::operator=(Fd&& o) noexcept {
    if (this == &o) return *this;
    close();
    fd_ = o.release();
    return *this;
}

int Fd::dup() const {
    if (fd_ < 0) return -1;
    return fcntl(fd_, F_DUPFD_CLOEXEC, 0);
}

bool Fd::open(char const* path, int flags) {
    close();
    fd_ = ::open(path, flags | O_CLOEXEC);
    return is_valid();
}

int Fd::close() {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    int const result = ::close(fd_);
    fd_ = -1;
    return result;
}

Errno::Errno() : value_(errno) {}

void Errno::Put(std::ostream& os) const {
    os << std::strerror(value_);
}

std::ostream& operator<<(std::ostream& os, Errno const& e) {
    e.Put(os);
    return os;
}
