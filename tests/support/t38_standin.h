#pragma once
// The stand-in T.38 program (tests/helpers/t38_standin.cpp) installed under
// a server's root as its T.38 gateway, and what it kept of each run. The
// stand-ins still running when the object goes are killed.

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/support/harness.h"

namespace support {

class T38Standin {
public:
    // Installs the stand-in; it answers the instance count with this text.
    T38Standin(std::string const& root, std::string const& instances) : root_(root) {
        for (char const* dir : {"/usr", "/usr/local", "/usr/local/sbin", "/t38"})
            ::mkdir((root + dir).c_str(), 0755);
        install();
        count(instances);
    }
    ~T38Standin() {
        DIR* const dir = ::opendir((root_ + "/t38").c_str());
        if (!dir) return;
        while (dirent const* entry = ::readdir(dir)) {
            std::string const name = entry->d_name;
            size_t const dot = name.find(".args");
            if (dot != std::string::npos && dot + 5 == name.size())
                signalGroup(std::atoi(name.substr(0, dot).c_str()), SIGKILL);
        }
        ::closedir(dir);
    }

    void install() const {
        ::symlink(MOBREL_T38_STANDIN, program().c_str());
    }
    void uninstall() const { ::unlink(program().c_str()); }
    void count(std::string const& text) const { std::ofstream(root_ + "/t38/instances") << text; }

    // The pid of the n-th program the server started (from 0), from its
    // log; -1 when it does not come.
    static int started(ServerProcess const& server, size_t n) {
        char const mark[] = "t38 daemon[";
        int pid = -1;
        waitFor(
            [&] {
                std::string const err = server.err();
                size_t at = err.find(mark);
                for (size_t i = 0; i < n && at != std::string::npos; ++i)
                    at = err.find(mark, at + 1);
                if (at == std::string::npos) return false;
                pid = std::stoi(err.substr(at + sizeof(mark) - 1));
                return true;
            },
            std::chrono::seconds(5));
        return pid;
    }
    // A file the stand-in of that pid wrote (".args", ".in", ".term") once
    // it holds the text, or what it holds when the bound passes.
    std::string kept(int pid, char const* suffix, std::string const& text) const {
        std::string const file = root_ + "/t38/" + std::to_string(pid) + suffix;
        waitFor([&] { return readFile(file) == text; }, std::chrono::seconds(5));
        return readFile(file);
    }
    // True once the stand-in of that pid has set itself up (its signal
    // handlers are in place when its arguments are written).
    bool running(int pid) const {
        std::string const file = root_ + "/t38/" + std::to_string(pid) + ".args";
        return waitFor([&] { return fileExists(file); }, std::chrono::seconds(5));
    }
    std::string program() const { return root_ + "/usr/local/sbin/t38"; }

private:
    std::string root_;
};

}  // namespace support
