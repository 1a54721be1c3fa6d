#include "runtime/system/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/system/fd.h"
#include "runtime/system/platform_path.h"

namespace {

// Whether the stat line of pid names the command `name`: the command is the
// text between the first "(" and the last ")", so names holding blanks or
// parentheses compare whole.
bool process_has_name(int pid, char const* name) {
    std::string const path = Platform::path("/proc/" + std::to_string(pid) + "/stat");
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.is_valid()) return false;
    char buf[256] = {};
    ssize_t const n = ::read(fd.lowlevel_fd(), buf, sizeof buf - 1);
    if (n <= 0) return false;
    char* const close = std::strrchr(buf, ')');
    if (close == nullptr) return false;
    *close = '\0';
    char const* const open = std::strchr(buf, '(');
    return open != nullptr && std::strcmp(open + 1, name) == 0;
}

}  // namespace

int find_proc_by_name(char const* name, int hint) {
    if (hint > 0 && process_has_name(hint, name)) return hint;

    std::string const proc = Platform::path("/proc");
    DIR* dir = ::opendir(proc.c_str());
    if (dir == nullptr) return -1;
    int found = -1;
    while (dirent const* entry = ::readdir(dir)) {
        int const pid = std::atoi(entry->d_name);
        if (pid > 0 && process_has_name(pid, name)) {
            found = pid;
            break;
        }
    }
    ::closedir(dir);
    return found;
}
