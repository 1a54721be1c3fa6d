#include "hardware/simboard/control_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "hardware/simboard/board.h"
#include "runtime/loop/timer.h"

namespace SimBoard {

namespace {

char const header[] = "simulated board: control socket ";
// A command text longer than this is refused.
size_t const max_request = 1 << 16;
// No line runs once the replies reach this size.
size_t const max_reply = 8 << 20;
// A client that takes none of its reply for this long is dropped.
unsigned const stall_ms = 2000;

}  // namespace

struct ControlSocket::Client {
    ControlSocket* socket = nullptr;
    Event event;
    std::string request;
    bool answering = false;
    std::string reply;
    size_t sent = 0;
    Timer stall;

    void on_stall() {
        std::cerr << header << "client took none of its reply for " << stall_ms
                  << " ms: dropped" << std::endl;
        socket->drop(this);
    }
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
    raw->socket = this;
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
    if (client->answering) return send_some(client);
    char buffer[4096];
    ssize_t const got = ::recv(client->event.lowlevel_fd(), buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got < 0) return drop(client);
    if (got > 0) {
        client->request.append(buffer, size_t(got));
        if (client->request.size() <= max_request) return;
        client->request = "error: command text too long";
    }
    // The whole request is in: run it line by line and answer.
    client->reply = answer(client->request);
    client->request.clear();
    client->answering = true;
    client->event.SetEvents(POLLOUT);
    client->stall.set(stall_ms, &Client::on_stall, client);
    send_some(client);
}

std::string ControlSocket::answer(std::string const& request) {
    if (request.compare(0, 7, "error: ") == 0) return request + "\n";
    std::istringstream lines(request);
    std::string reply;
    size_t left_out = 0;
    for (std::string line; std::getline(lines, line);) {
        if (reply.size() >= max_reply)
            ++left_out;
        else
            reply += board_.command(line);
    }
    if (left_out)
        reply += "error: reply over " + std::to_string(max_reply) + " bytes, " +
                 std::to_string(left_out) + " line(s) not run\n";
    return reply;
}

void ControlSocket::send_some(Client* client) {
    int const fd = client->event.lowlevel_fd();
    size_t const before = client->sent;
    while (client->sent < client->reply.size()) {
        ssize_t const sent = ::send(fd, client->reply.data() + client->sent,
                                    client->reply.size() - client->sent,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            client->sent += size_t(sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) break;
        return drop(client);  // the client has gone
    }
    if (client->sent == client->reply.size()) return drop(client);
    if (client->sent != before) client->stall.set(stall_ms, &Client::on_stall, client);
}

void ControlSocket::drop(Client* client) {
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (it->get() == client) {
            clients_.erase(it);
            return;
        }
}

}  // namespace SimBoard
