// The yardstick of the ping benchmark: a minimal TPKT echo server. It listens
// on 127.0.0.1 (port 0 or the one given), prints the port on the output
// stream, takes one connection and writes every whole frame it reads straight
// back until the peer closes: all frames of one read in one write, or with
// --each every frame in a write of its own.
//
// Usage: server_echo [--each] [port]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "server/tpkt_frame.h"

namespace {

bool send_all(int fd, unsigned char const* data, size_t size) {
    while (size > 0) {
        ssize_t const done = ::send(fd, data, size, MSG_NOSIGNAL);
        if (done <= 0) return false;
        data += done;
        size -= size_t(done);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool const each = argc > 1 && std::strcmp(argv[1], "--each") == 0;
    if (each) {
        --argc;
        ++argv;
    }
    int const listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int const on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(argc > 1 ? std::atoi(argv[1]) : 0));
    socklen_t size = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("server_echo: listen");
        return 1;
    }
    std::printf("%u\n", unsigned(ntohs(address.sin_port)));
    std::fflush(stdout);

    int const fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) {
        std::perror("server_echo: accept");
        return 1;
    }
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    // Read bytes wait in the buffer until the frame they belong to is whole.
    std::vector<unsigned char> buffer(1 << 16);
    Tpkt::Reader reader;
    size_t held = 0;
    for (;;) {
        ssize_t const got = ::recv(fd, buffer.data() + held, buffer.size() - held, 0);
        if (got <= 0) break;
        size_t at = held;
        held += size_t(got);
        size_t whole = 0;
        bool sent = true;
        for (;;) {
            Tpkt::Reader::Step const step = reader.next(buffer.data() + at, held - at);
            at += step.used;
            if (step.event == Tpkt::Reader::more) break;
            if (step.bad()) {
                std::fprintf(stderr, "server_echo: not a TPKT stream\n");
                return 1;
            }
            if (step.event != Tpkt::Reader::frame) continue;
            if (each) sent = sent && send_all(fd, buffer.data() + whole, at - whole);
            whole = at;
        }
        if (!each) sent = send_all(fd, buffer.data(), whole);
        if (!sent) break;
        std::memmove(buffer.data(), buffer.data() + whole, held - whole);
        held -= whole;
    }
    ::close(fd);
    ::close(listener);
    return 0;
}
