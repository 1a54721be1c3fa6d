// mobrel-board: the command-line tool of the simulated board. It sends one
// command (its arguments) or the lines of its standard input to the board's
// control socket under MOBREL_ROOT and prints the reply. Exit status 0, 1
// when the board refused a command, 2 when the board cannot be reached (or
// MOBREL_ROOT is not set).

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "hardware/simboard/paths.h"
#include "runtime/system/fd.h"
#include "runtime/system/platform_path.h"

namespace {

char const usage[] =
    "Usage: mobrel-board [COMMAND [ARGUMENT]...]\n"
    "Sends the command, or without one every line of the standard input, to the\n"
    "simulated board of the server running under MOBREL_ROOT, and prints the\n"
    "reply. `mobrel-board help` lists the board's commands.\n"
    "Exit status: 0; 1 when the board refused a command; 2 when there is no\n"
    "board to reach.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << usage;
        return 0;
    }
    char const* const root = std::getenv("MOBREL_ROOT");
    if (!root || !*root) {
        std::cerr << "mobrel-board: MOBREL_ROOT is not set: set it to the root the server runs "
                     "under"
                  << std::endl;
        return 2;
    }
    std::string request;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) request += std::string(i > 1 ? " " : "") + argv[i];
        request += '\n';
    } else {
        request.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }

    std::string const path = Platform::path(SimBoard::control_path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    Fd const sock(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (!sock ||
        ::connect(sock.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address), sizeof(address))) {
        Errno const error;
        std::cerr << "mobrel-board: cannot reach the board at " << path << ": " << error
                  << std::endl;
        return 2;
    }
    for (size_t at = 0; at < request.size();) {
        ssize_t const sent = ::send(sock.lowlevel_fd(), request.data() + at,
                                    request.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) return 2;
        at += size_t(sent);
    }
    ::shutdown(sock.lowlevel_fd(), SHUT_WR);

    std::string reply;
    char buffer[65536];
    for (ssize_t got; (got = ::read(sock.lowlevel_fd(), buffer, sizeof(buffer))) > 0;)
        reply.append(buffer, size_t(got));
    std::cout << reply;
    bool const refused = reply.compare(0, 7, "error: ") == 0 ||
                         reply.find("\nerror: ") != std::string::npos;
    return refused ? 1 : 0;
}
