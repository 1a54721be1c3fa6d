#include "server/tpkt_tracer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <iterator>

#include "runtime/system/fd.h"
#include "runtime/system/inet.h"

TPKTTracer::TPKTTracer() : current_(connections_.end()) {}

TPKTTracer::~TPKTTracer() {
    for (Connection* connection : connections_) delete connection;
    connections_.clear();
    listen_event_.Release();
}

bool TPKTTracer::Listen(unsigned short port) {
    listen_event_.Release();
    Fd const socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    INet4::Addr any;
    any.port(port);
    bool const ready = socket.is_valid() && ::bind(socket.lowlevel_fd(), any, any.size()) == 0 &&
                       ::listen(socket.lowlevel_fd(), 1) == 0 && socket.NonBlock();
    if (!ready) {
        Errno const error;
        std::cerr << "TPKTTracer: can't listen on port " << port << ": " << error << std::endl;
        return false;
    }
    listen_event_.Bind("TPKTTracer::OnEvent", &TPKTTracer::OnEvent, this);
    listen_event_.Schedule(socket, POLLIN);
    return true;
}

void TPKTTracer::OnEvent(int fd, short events) {
    if (!(events & POLLIN)) return;
    for (;;) {
        INet4::Addr peer;
        socklen_t size = peer.size();
        Fd const client(::accept(fd, peer, &size));
        if (!client.is_valid()) return;
        std::clog << "ACP connection open from " << peer << std::endl;
        if (!client.NonBlock()) continue;  // closed here
        auto* connection = new Connection;
        connection->peer = peer.GetString();
        connection->event.Bind("TPKTTracer::OnDataEvent", &TPKTTracer::OnDataEvent, this);
        connection->event.Schedule(client, POLLIN);
        connections_.push_back(connection);
    }
}

TPKTTracer::Iterator TPKTTracer::FindConnection(int fd) {
    return std::find_if(connections_.begin(), connections_.end(),
                        [fd](Connection const* c) { return c->event.lowlevel_fd() == fd; });
}

void TPKTTracer::CloseConnection(Iterator connection) {
    if (connection == current_) current_ = connections_.end();
    delete *connection;
    connections_.erase(connection);
}

void TPKTTracer::DropBadClient(char const* reason) {
    std::cerr << "TPKTTracer: drop trace client " << (*current_)->peer << ": " << reason
              << std::endl;
    CloseConnection(current_);
}

void TPKTTracer::OnDataEvent(int fd, short events) {
    // The loop also calls with nothing returned for this descriptor.
    if (!(events & (POLLIN | POLLERR | POLLHUP | POLLNVAL))) return;
    current_ = FindConnection(fd);
    if (current_ == connections_.end()) return;
    if (events & (POLLERR | POLLHUP | POLLNVAL)) {
        CloseConnection(current_);
        return;
    }
    unsigned budget = read_budget;
    while (budget > 0 && current_ != connections_.end()) {
        Connection& connection = **current_;
        ssize_t const got = ::recv(fd, connection.buffer + connection.received,
                                   connection.expected - connection.received, MSG_NOSIGNAL);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (got <= 0) {
            CloseConnection(current_);
            break;
        }
        budget -= std::min(unsigned(got), budget);
        connection.received += unsigned(got);
        if (connection.received < connection.expected) break;
        if (!OnStep(connection)) break;
    }
    current_ = connections_.end();
}

bool TPKTTracer::OnStep(Connection& connection) {
    if (connection.state == Connection::body) {
        if (receiver_) {
            receiver_->OnPacket(reinterpret_cast<char const*>(connection.buffer),
                                connection.expected);
            // The receiver closed this client meanwhile.
            if (current_ == connections_.end()) return false;
        }
        connection.state = Connection::header;
        connection.received = 0;
        connection.expected = header_size;
        return true;
    }
    unsigned char const* const header = connection.buffer;
    if (header[0] != 3) {
        DropBadClient("bad TPKT version");
        return false;
    }
    if (header[1] != 0) {
        DropBadClient("bad TPKT reserved octet");
        return false;
    }
    unsigned const length = unsigned(header[2]) << 8 | header[3];
    if (length < header_size) {
        DropBadClient("TPKT length below 4");
        return false;
    }
    unsigned const body = length - header_size;
    if (body > buffer_size) {
        DropBadClient("TPKT body above 512 bytes");
        return false;
    }
    connection.received = 0;
    if (body == 0) {
        connection.expected = header_size;  // an empty frame: the next header
    } else {
        connection.state = Connection::body;
        connection.expected = body;
    }
    return true;
}

int TPKTTracer::Send(void const* data, unsigned int length) {
    if (length > max_send) {
        std::cerr << "TPKTTracer: refuse to send " << length << " bytes: a frame carries at most "
                  << max_send << " bytes." << std::endl;
        return -1;
    }
    unsigned const total = length + header_size;
    unsigned char header[header_size] = {3, 0, static_cast<unsigned char>(total >> 8),
                                         static_cast<unsigned char>(total & 0xFF)};
    iovec parts[2] = {{header, header_size}, {const_cast<void*>(data), length}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;

    auto const send_to = [&](Iterator connection) {
        // Never wait for a client, and never take a signal from one that is
        // gone: a client that cannot take the whole frame now is dropped.
        ssize_t const sent =
            ::sendmsg((*connection)->event.lowlevel_fd(), &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        bool const interrupted = sent < 0 && errno == EINTR;
        if (!interrupted && sent != ssize_t(total)) CloseConnection(connection);
        return int(sent);
    };
    if (current_ != connections_.end()) return send_to(current_);
    int result = 0;
    for (Iterator it = connections_.begin(); it != connections_.end();) {
        Iterator const next = std::next(it);
        result = send_to(it);
        it = next;
    }
    return result;
}
