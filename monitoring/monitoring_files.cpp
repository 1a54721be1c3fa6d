#include "monitoring/monitoring_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "runtime/system/platform_path.h"
#include "server/trace_ctl.h"

namespace {

bool make_directories(std::string const& path) {
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        std::string const dir = path.substr(0, at);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (at == std::string::npos) return true;
    }
}

bool write_all(int fd, std::string const& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t const n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// The text in a temporary file beside the file, renamed over it.
bool replace(std::string const& path, std::string const& text) {
    std::string const temporary = path + ".tmp";
    int const fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool const written = write_all(fd, text);
    bool const closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    int const error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    return false;
}

}  // namespace

std::string OneLine(std::string const& text) {
    static char const digits[] = "0123456789abcdef";
    std::string line;
    line.reserve(text.size());
    for (char const c : text) {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            line += "\\\\";
        } else if (byte < 0x20 || byte > 0x7e) {
            line += "\\x";
            line += digits[byte >> 4];
            line += digits[byte & 0xf];
        } else {
            line += c;
        }
    }
    return line;
}

std::string CutLine(std::string const& line, size_t bound) {
    if (line.size() <= bound) return line;
    size_t const room = bound - (sizeof(cut_mark) - 1);
    size_t kept = 0;
    for (size_t next; kept < line.size(); kept = next) {
        // "\\" and "\xHH" stand whole or not at all.
        next = kept + (line[kept] != '\\' ? 1 : line.compare(kept, 2, "\\x") == 0 ? 4 : 2);
        if (next > room) break;
    }
    return line.substr(0, kept) + cut_mark;
}

void MonitoringFiles::Write(std::string const& name, std::vector<std::string> const& values) {
    std::string text;
    for (std::string const& value : values) text += OneLine(value) + '\n';
    auto const known = written_.find(name);
    if (known != written_.end() && known->second == text) return;
    std::string const directory = Platform::path(monitoring_directory);
    std::string const path = directory + "/" + name;
    if (!make_directories(directory) || !replace(path, text)) {
        if (failing_.insert(name).second)
            std::cerr << "monitoring: cannot write " << path << ": " << std::strerror(errno)
                      << std::endl;
        written_.erase(name);
        return;
    }
    failing_.erase(name);
    written_[name] = text;
    if (traces.monitoring.internal)
        std::clog << "monitoring: wrote " << monitoring_directory << '/' << name << std::endl;
}

void MonitoringFiles::Remove(std::string const& name) {
    written_.erase(name);
    std::string const path = Platform::path(monitoring_directory) + "/" + name;
    if (::unlink(path.c_str()) == 0 && traces.monitoring.internal)
        std::clog << "monitoring: removed " << monitoring_directory << '/' << name << std::endl;
}
