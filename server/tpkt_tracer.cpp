#include "server/tpkt_tracer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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
        unsigned char chunk[4096];
        ssize_t const got =
            ::recv(fd, chunk, std::min<unsigned>(sizeof(chunk), budget), MSG_NOSIGNAL);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (got <= 0) {
            CloseConnection(current_);
            break;
        }
        budget -= unsigned(got);
        if (!Take(**current_, chunk, std::size_t(got))) break;
    }
    current_ = connections_.end();
}

bool TPKTTracer::Take(Connection& connection, unsigned char const* data, std::size_t size) {
    for (;;) {
        Tpkt::Reader::Step const step = connection.reader.next(data, size);
        data += step.used;
        size -= step.used;
        if (step.bad()) {
            DropBadClient(step.event == Tpkt::Reader::bad_start      ? "bad TPKT version"
                          : step.event == Tpkt::Reader::bad_reserved ? "bad TPKT reserved octet"
                          : step.event == Tpkt::Reader::too_short    ? "TPKT length below 4"
                                                                     : "TPKT body above 512 bytes");
            return false;
        }
        switch (step.event) {
            case Tpkt::Reader::more:
                return true;
            case Tpkt::Reader::header:
                connection.received = 0;
                break;
            case Tpkt::Reader::payload:
            case Tpkt::Reader::frame:
                std::memcpy(connection.buffer + connection.received, step.data, step.size);
                connection.received += uint32_t(step.size);
                // An empty frame is consumed without a word to the receiver.
                if (step.event != Tpkt::Reader::frame || connection.received == 0 || !receiver_)
                    break;
                receiver_->OnPacket(reinterpret_cast<char const*>(connection.buffer),
                                    connection.received);
                // The receiver closed this client meanwhile.
                if (current_ == connections_.end()) return false;
                break;
            default:  // bad bytes: told above
                break;
        }
    }
}

int TPKTTracer::Send(void const* data, unsigned int length) {
    if (length > max_send) {
        std::cerr << "TPKTTracer: refuse to send " << length << " bytes: a frame carries at most "
                  << max_send << " bytes." << std::endl;
        return -1;
    }
    unsigned const total = length + Tpkt::header_size;
    Tpkt::Header header = Tpkt::MakeHeader(length);
    iovec parts[2] = {{header.data(), header.size()}, {const_cast<void*>(data), length}};
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
