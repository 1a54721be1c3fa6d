#include "runtime/system/platform_path.h"

#include <gtest/gtest.h>
#include <cstdlib>

namespace {

struct RootGuard {
    explicit RootGuard(char const* value) {
        if (value)
            setenv("MOBREL_ROOT", value, 1);
        else
            unsetenv("MOBREL_ROOT");
    }
    ~RootGuard() { unsetenv("MOBREL_ROOT"); }
};

TEST(PlatformPath, LeavesRealPathsAloneWithoutARoot) {
    RootGuard unset(nullptr);
    EXPECT_EQ(Platform::path("/var/run/server.pid"), "/var/run/server.pid");
    RootGuard empty("");
    EXPECT_EQ(Platform::path("/dev/misc/gw-wd"), "/dev/misc/gw-wd");
}

TEST(PlatformPath, PlacesAbsolutePathsUnderTheRoot) {
    RootGuard root("/tmp/board/");
    EXPECT_EQ(Platform::path("/var/run/server.pid"), "/tmp/board/var/run/server.pid");
    EXPECT_EQ(Platform::path("relative/file"), "relative/file");
}

}  // namespace
