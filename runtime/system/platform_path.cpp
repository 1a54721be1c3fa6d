#include "runtime/system/platform_path.h"

#include <cstdlib>

namespace Platform {

std::string path(std::string const& absolute) {
    char const* root = std::getenv("MOBREL_ROOT");
    if (root == nullptr || *root == '\0' || absolute.empty() || absolute[0] != '/') return absolute;
    std::string result(root);
    while (!result.empty() && result.back() == '/') result.pop_back();
    return result + absolute;
}

}  // namespace Platform
