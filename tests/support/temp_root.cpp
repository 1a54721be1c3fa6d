#include "tests/support/temp_root.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace support {

TempDir::TempDir() {
    char pattern[] = "/tmp/mobrel-test-XXXXXX";
    char const* const made = ::mkdtemp(pattern);
    path_ = made ? made : "";
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    ::nftw(
        path_.c_str(), [](char const* p, struct stat const*, int, FTW*) { return std::remove(p); },
        16, FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::mkdirs(std::string const& relative) const {
    std::string current = path_;
    std::istringstream parts(relative);
    for (std::string part; std::getline(parts, part, '/');) {
        if (part.empty()) continue;
        current += "/" + part;
        ::mkdir(current.c_str(), 0755);
    }
    return current;
}

TempRoot::TempRoot() {
    ::setenv("MOBREL_ROOT", path().c_str(), 1);
}

TempRoot::~TempRoot() {
    ::unsetenv("MOBREL_ROOT");
}

std::string readFile(std::string const& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(std::string const& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace support
