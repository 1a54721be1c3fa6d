#pragma once
// Fd owns one file descriptor: destroying it closes the descriptor, copying
// it duplicates the descriptor, and every descriptor it holds is marked
// close-on-exec so that child processes inherit none. Errno captures errno
// right after a failed call and prints as the system's error text.

#include <ostream>

bool NonBlockMode(int fd);
bool BlockMode(int fd);
void SetCloexec(int fd, bool on);

class Fd {
public:
    struct BoolResult;

    Fd() = default;
    explicit Fd(int fd);
    Fd(Fd const& o) : fd_(o.dup()) {}
    Fd(Fd&& o) noexcept : fd_(o.release()) {}
    Fd& operator=(Fd const& o);
    Fd& operator=(Fd&& o) noexcept;
    ~Fd() { close(); }

    int dup() const;
    int lowlevel_fd() const { return fd_; }
    bool is_valid() const { return fd_ >= 0; }
    operator BoolResult*() const { return is_valid() ? reinterpret_cast<BoolResult*>(1) : nullptr; }

    bool open(char const* path, int flags);
    bool NonBlock() const { return is_valid() && NonBlockMode(fd_); }
    int close();
    // Gives up ownership without closing.
    int release() {
        int const fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

class Errno {
public:
    Errno();
    int value() const { return value_; }
    void Put(std::ostream& os) const;

private:
    int value_;
};

std::ostream& operator<<(std::ostream& os, Errno const& e);
