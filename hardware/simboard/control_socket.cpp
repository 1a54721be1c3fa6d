#include "hardware/simboard/control_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <sstream>

#include "hardware/simboard/board.h"

namespace SimBoard {

namespace {

char const header[] = "simulated board: control socket ";
// A command text longer than this is refused.
size_t const max_request = 1 << 16;

}  // namespace

struct ControlSocket::Client {
    Event event;
    std::string request;
};

ControlSocket::ControlSocket(Board& board, std::string const& path) : board_(board), path_(path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        std::cerr << header << path << ": path too long" << std::endl;
        return;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Fd const sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    ::unlink(path.c_str());
    if (!sock || ::bind(sock.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address),
                        sizeof(address)) != 0 ||
        ::listen(sock.lowlevel_fd(), 16) != 0) {
        Errno const error;
        std::cerr << header << path << ": " << error << std::endl;
        return;
    }
    listener_.Bind("simboard control", &ControlSocket::on_accept, this);
    listener_.Schedule(sock, POLLIN);
}

ControlSocket::~ControlSocket() {
    if (listener_.IsActive()) ::unlink(path_.c_str());
}

void ControlSocket::on_accept(int fd, short revents) {
    if (!(revents & POLLIN)) return;
    Fd conn(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!conn) return;
    auto client = std::make_unique<Client>();
    Client* const raw = client.get();
    struct Handler : Event::Handler {
        Handler(ControlSocket* s, Client* c) : socket(s), client(c) {}
        void Invoke(int, short revents) override { socket->on_client(client, revents); }
        ControlSocket* socket;
        Client* client;
    };
    raw->event.Bind(new Handler(this, raw));
    raw->event.Schedule(conn, POLLIN);
    clients_.push_back(std::move(client));
}

void ControlSocket::on_client(Client* client, short revents) {
    if (!revents) return;
    char buffer[4096];
    ssize_t const got = ::recv(client->event.lowlevel_fd(), buffer, sizeof(buffer), 0);
    if (got < 0 && errno == EAGAIN) return;
    if (got > 0) {
        client->request.append(buffer, size_t(got));
        if (client->request.size() <= max_request) return;
        client->request = "error: command text too long";
    }
    // The whole request is in: run it line by line and answer.
    std::string reply;
    if (client->request.compare(0, 7, "error: ") == 0) {
        reply = client->request + "\n";
    } else {
        std::istringstream lines(client->request);
        for (std::string line; std::getline(lines, line);) reply += board_.command(line);
    }
    int const fd = client->event.lowlevel_fd();
    BlockMode(fd);
    timeval const bound{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
    for (size_t at = 0; at < reply.size();) {
        ssize_t const sent = ::send(fd, reply.data() + at, reply.size() - at, MSG_NOSIGNAL);
        if (sent <= 0) break;
        at += size_t(sent);
    }
    drop(client);
}

void ControlSocket::drop(Client* client) {
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (it->get() == client) {
            clients_.erase(it);
            return;
        }
}

}  // namespace SimBoard
