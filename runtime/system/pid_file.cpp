#include "runtime/system/pid_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "runtime/system/platform_path.h"

namespace Linux {

Run::Run(char const* name) : path_(Platform::path(std::string("/var/run/") + name + ".pid")) {
    fd_ = Fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_SYNC | O_CLOEXEC, 0644));
    if (!fd_.is_valid()) return;
    std::string const pid = std::to_string(::getpid());
    ssize_t const written = ::write(fd_.lowlevel_fd(), pid.data(), pid.size());
    (void)written;  // a short pid file is still removed at the end
    ::fsync(fd_.lowlevel_fd());
}

Run::~Run() {
    if (!fd_.is_valid()) return;
    fd_.close();
    ::unlink(path_.c_str());
}

}  // namespace Linux
