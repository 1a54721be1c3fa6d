#pragma once
// Linux::Run writes the pid file /var/run/<name>.pid for as long as it lives:
// the process id in decimal, with no line end. The program entry keeps one for
// "server" around the main loop. A file that cannot be opened is silently
// left alone.

#include <string>

#include "runtime/system/fd.h"

namespace Linux {

class Run {
public:
    explicit Run(char const* name);
    Run(Run const&) = delete;
    Run& operator=(Run const&) = delete;
    // Closes and removes the file when it was opened.
    ~Run();

    std::string const& path() const { return path_; }
    bool is_open() const { return fd_.is_valid(); }

private:
    Fd fd_;
    std::string path_;
};

}  // namespace Linux
