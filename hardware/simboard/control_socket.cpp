#include "hardware/simboard/control_socket.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
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
// Clients served at once (each may hold a reply of up to max_reply). One
// more is refused: its request is read and dropped and it is answered with
// one error line; beyond max_refused of those at once a client is closed
// with that line straight away.
size_t const max_clients = 4;
size_t const max_refused = 16;
// A client that sends nothing of its request, or takes nothing of its
// reply, for this long is dropped.
unsigned const stall_ms = 2000;
// A reply goes out in sends of at most this many bytes: the socket frees a
// send's room only once the client has read all of it, so small sends let
// even a client that reads a little at a time be seen taking its reply.
size_t const send_chunk = 1024;

// The bytes the socket holds that the client has not read yet, counted in
// the kernel's own units; -1 when unknown.
int unread(int fd) {
    int bytes = 0;
    return ::ioctl(fd, SIOCOUTQ, &bytes) == 0 ? bytes : -1;
}

}  // namespace

struct ControlSocket::Client {
    ControlSocket* socket = nullptr;
    bool refused = false;
    Event event;
    std::string request;
    bool answering = false;
    std::string reply;
    size_t sent = 0;
    // What had gone and what the socket still held at the last look.
    size_t sent_seen = 0;
    int unread_seen = -1;
    Timer stall;

    void on_stall() {
        if (!answering) {
            std::cerr << header << "client sent nothing of its request for " << stall_ms
                      << " ms: dropped" << std::endl;
            return socket->drop(this);
        }
        // The client took some of its reply when more of it went out (the
        // socket had room again) or when the socket holds less than before.
        int const now = unread(event.lowlevel_fd());
        if (sent != sent_seen || (now >= 0 && now < unread_seen)) {
            look(now);
            return;
        }
        std::cerr << header << "client took none of its reply for " << stall_ms << " ms: dropped"
                  << std::endl;
        socket->drop(this);
    }
    // Takes what has gone and what the socket holds as the mark for the
    // next look, stall_ms from now.
    void look(int now) {
        sent_seen = sent;
        unread_seen = now;
        stall.set(stall_ms, &Client::on_stall, this);
    }
};

bool ControlSocket::live(std::string const& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    Fd const sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return sock && ::connect(sock.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address),
                             sizeof(address)) == 0;
}

ControlSocket::ControlSocket(Board& board, std::string const& path) : board_(board), path_(path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        std::cerr << header << path << ": path too long" << std::endl;
        return;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // A socket left by a server that has gone is replaced.
    Fd const sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    ::unlink(path.c_str());
    if (!sock || ::bind(sock.lowlevel_fd(), reinterpret_cast<sockaddr*>(&address),
                        sizeof(address)) != 0 ||
        ::listen(sock.lowlevel_fd(), 16) != 0) {
        Errno const error;
        std::cerr << header << path << ": " << error << std::endl;
        return;
    }
    struct stat made {};
    if (::stat(path.c_str(), &made) == 0) dev_ = made.st_dev, ino_ = made.st_ino;
    listener_.Bind("simboard control", &ControlSocket::on_accept, this);
    listener_.Schedule(sock, POLLIN);
}

ControlSocket::~ControlSocket() {
    struct stat now {};
    if (listener_.IsActive() && ::stat(path_.c_str(), &now) == 0 && now.st_dev == dev_ &&
        now.st_ino == ino_)
        ::unlink(path_.c_str());
}

void ControlSocket::on_accept(int fd, short revents) {
    if (!(revents & POLLIN)) return;
    Fd conn(::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!conn) return;
    size_t const refused = size_t(std::count_if(
        clients_.begin(), clients_.end(), [](auto const& client) { return client->refused; }));
    bool const refuse = clients_.size() - refused >= max_clients;
    if (refuse) std::cerr << header << "client refused: " << busy() << std::endl;
    if (refuse && refused >= max_refused) {
        // Room for one line is there on a new connection.
        std::string const line = busy_line();
        ::send(conn.lowlevel_fd(), line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        return;
    }
    auto client = std::make_unique<Client>();
    Client* const raw = client.get();
    raw->socket = this;
    raw->refused = refuse;
    struct Handler : Event::Handler {
        Handler(ControlSocket* s, Client* c) : socket(s), client(c) {}
        void Invoke(int, short revents) override { socket->on_client(client, revents); }
        ControlSocket* socket;
        Client* client;
    };
    raw->event.Bind(new Handler(this, raw));
    raw->event.Schedule(conn, POLLIN);
    raw->stall.set(stall_ms, &Client::on_stall, raw);
    clients_.push_back(std::move(client));
}

std::string ControlSocket::busy() {
    return std::to_string(max_clients) + " clients served at once already";
}

std::string ControlSocket::busy_line() {
    return "error: the board has " + busy() + "; try again\n";
}

void ControlSocket::on_client(Client* client, short revents) {
    if (!revents) return;
    if (client->answering) {
        send_some(client);
        return;
    }
    char buffer[4096];
    ssize_t const got = ::recv(client->event.lowlevel_fd(), buffer, sizeof(buffer), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (got < 0) return drop(client);
    if (got > 0) {
        client->stall.set(stall_ms, &Client::on_stall, client);
        if (client->refused) return;
        client->request.append(buffer, size_t(got));
        if (client->request.size() <= max_request) return;
        client->request = "error: command text too long";
    }
    // The whole request is in: run it line by line and answer.
    client->reply = client->refused ? busy_line() : answer(client->request);
    client->request.clear();
    client->answering = true;
    client->event.SetEvents(POLLOUT);
    if (send_some(client)) client->look(unread(client->event.lowlevel_fd()));
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

bool ControlSocket::send_some(Client* client) {
    int const fd = client->event.lowlevel_fd();
    while (client->sent < client->reply.size()) {
        size_t const size = std::min(send_chunk, client->reply.size() - client->sent);
        ssize_t const sent = ::send(fd, client->reply.data() + client->sent, size,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            client->sent += size_t(sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        break;  // the client has gone
    }
    // Gone, or all of the reply is in the socket for the client to read.
    drop(client);
    return false;
}

void ControlSocket::drop(Client* client) {
    for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (it->get() == client) {
            clients_.erase(it);
            return;
        }
}

}  // namespace SimBoard
