#include "monitoring/controller_process.h"

#include <dirent.h>

#include <cctype>
#include <fstream>
#include <memory>

#include "runtime/system/platform_path.h"

namespace {

bool all_digits(char const* text) {
    if (!*text) return false;
    for (; *text; ++text)
        if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    return true;
}

// The name in "<pid> (<name>) <state> ...": from the first '(' to the last
// ')', since the name itself may hold either.
std::string name_in_stat(std::string const& line) {
    size_t const open = line.find('(');
    size_t const close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return "";
    return line.substr(open + 1, close - open - 1);
}

}  // namespace

bool ProcessRunning(std::string const& name) {
    std::string const proc = Platform::path("/proc");
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(proc.c_str()), ::closedir);
    if (!dir) return false;
    while (dirent const* entry = ::readdir(dir.get())) {
        if (!all_digits(entry->d_name)) continue;
        std::ifstream stat(proc + "/" + entry->d_name + "/stat");
        std::string line;
        if (std::getline(stat, line) && name_in_stat(line) == name) return true;
    }
    return false;
}

bool ControllerProcessRunning() {
    return ProcessRunning("controller");
}
