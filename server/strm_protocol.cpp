#include "server/strm_protocol.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "runtime/log/ext.h"
#include "runtime/loop/multiplexer.h"
#include "runtime/system/clock.h"

namespace {

char const protocol_name[] = "StrmProtocol";

int socket_option(Fd const& fd, int option) {
    int value = 0;
    socklen_t size = sizeof(value);
    if (::getsockopt(fd.lowlevel_fd(), SOL_SOCKET, option, &value, &size) != 0) return 0;
    return value;
}

int queue_size(Fd const& fd, unsigned long request) {
    int value = 0;
    if (::ioctl(fd.lowlevel_fd(), request, &value) != 0) return 0;
    return value;
}

}  // namespace

long write(Fd& fd, void const* data, unsigned int size) {
    return long(::write(fd.lowlevel_fd(), data, size));
}

int close(Fd& fd) {
    return fd.close();
}

StrmProtocol::StrmProtocol() : name_(protocol_name) {
    init();
}

StrmProtocol::StrmProtocol(Fd const& fd) : name_(protocol_name) {
    init();
    attach(fd);
}

StrmProtocol::~StrmProtocol() {
    release();
}

void StrmProtocol::init() {
    protocol_name_text_ = protocol_name;
    overflow_counter_ = 0;
    event_.Bind("StrmProtocol::on_event", &StrmProtocol::on_event, this);
}

void StrmProtocol::local_prepare_head(Packet& p) {
    p.reserve_head(0);
}

void StrmProtocol::local_prepare_tail(Packet& p) {
    p.reserve_tail(0);
}

void StrmProtocol::attach(Fd const& fd) {
    release();
    socket_ = fd;
    // Nothing is queued on a fresh connection: a positive answer means the
    // query reports free space rather than queued bytes.
    outq_reports_free_ = queue_size(socket_, TIOCOUTQ) > 0;
}

void StrmProtocol::release() {
    gathered_.clear();
    gathered_count_ = 0;
    input_.clear();
    if (!socket_.is_valid()) return;
    event_.Release();
    socket_.close();
}

int StrmProtocol::sendbuf_space() const {
    return socket_option(socket_, SO_SNDBUF);
}

int StrmProtocol::recvbuf_space() const {
    return socket_option(socket_, SO_RCVBUF);
}

int StrmProtocol::inq_space() const {
    return queue_size(socket_, FIONREAD);
}

int StrmProtocol::outq_space() const {
    return queue_size(socket_, TIOCOUTQ);
}

int StrmProtocol::free_space() const {
    int const outq = outq_space();
    return outq_reports_free_ ? outq : sendbuf_space() - outq;
}

void StrmProtocol::PutHeader(std::ostream& os) const {
    os << "SockStream[" << service_name_ << "]: ";
}

void StrmProtocol::local_activate() {
    if (!socket_.is_valid()) {
        on_deactivate(new Protocol_status_error(this, "fd not attached"));
        return;
    }
    event_.Schedule(socket_, POLLIN);
    on_activate();
}

void StrmProtocol::local_deactivate() {
    // Answers gathered before a local close still leave; a write that fails
    // on the way has already reported the end of the connection.
    bool const attached = socket_.is_valid();
    flush_gathered();
    if (attached && !socket_.is_valid()) return;
    release();
    on_deactivate(new Protocol_status_success(this, "success"));
}

void StrmProtocol::on_event(int, short revents) {
    if (revents & POLLERR) {
        on_error(std::string("pollerr: ") + std::strerror(errno));
    } else if (revents & POLLHUP) {
        on_error(std::string("pollhup: ") + std::strerror(errno));
    } else if (revents & POLLIN) {
        do_read();
    }
}

void StrmProtocol::do_read() {
    // The buffer of the last read is used again when the layers above kept
    // nothing of it. Held here while it is handled, it outlives a close on
    // the way.
    Packet chunk = input_;
    input_.clear();
    chunk.reuse(0);
    read_measure_.begin();
    ssize_t const got = ::recv(socket_.lowlevel_fd(), chunk.tail(), chunk.tailroom(),
                               MSG_DONTWAIT | MSG_NOSIGNAL);
    int const error = errno;
    read_measure_.end();
    if (got > 0) {
        chunk.put(unsigned(got));
        // The answers to what this read brought leave in batches: one write
        // per batch instead of one per answer when a controller pipelines
        // its commands, and the first batch leaves before the last command
        // is handled, so that the controller works on it meanwhile.
        gathering_ = true;
        on_message(chunk);
        gathering_ = false;
        flush_gathered();
        if (socket_.is_valid()) input_ = chunk;
        return;
    }
    if (socket_.is_valid()) input_ = chunk;
    if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) return;
    // 0: the peer closed its end.
    on_error(std::string("read error: ") + std::strerror(error));
}

void StrmProtocol::put_queues(std::ostream& os) const {
    os << ", sendbuf=" << sendbuf_space() << ", recvbuf=" << recvbuf_space()
       << ", free=" << free_space() << ", inq=" << inq_space() << ", outq=" << outq_space();
}

bool StrmProtocol::wait_writable(uint32_t start) {
    uint32_t const elapsed = Mux::milliseconds() - start;
    if (elapsed >= write_budget_ms_) return false;
    int const wait = int(write_budget_ms_ - elapsed);
    pollfd entry{socket_.lowlevel_fd(), POLLOUT, 0};
    Multiplexer::instance().resetWD();
    int const ready = ::poll(&entry, 1, wait);
    int const error = errno;
    Multiplexer::instance().resetWD();
    if (ready > 0) return true;
    // An interrupted wait goes round again; the budget check above ends it.
    return ready < 0 && error == EINTR;
}

void StrmProtocol::message(Packet& p) {
    if (!socket_.is_valid() || p.null()) return;
    unsigned const length = p.length();
    if (!gathering_) {
        write_out(p.data(), length);
        return;
    }
    if (gathered_.size() + length > gather_limit) {
        flush_gathered();
        if (!socket_.is_valid()) return;
    }
    unsigned char const* data = p.data();
    gathered_.insert(gathered_.end(), data, data + length);
    if (++gathered_count_ == gather_batch) flush_gathered();
}

void StrmProtocol::flush_gathered() {
    if (gathered_.empty()) return;
    write_out(gathered_.data(), unsigned(gathered_.size()));
    gathered_.clear();
    gathered_count_ = 0;
}

void StrmProtocol::write_out(unsigned char const* at, unsigned left) {
    // The budget and the measure start at the same reading of the clock.
    uint64_t const now = Mux::reading();
    write_measure_.begin(Mux::microseconds_of(now));
    uint32_t const start = Mux::milliseconds_of(now);
    while (left > 0) {
        // MSG_NOSIGNAL: a closed peer is a write error, never a SIGPIPE.
        // MSG_DONTWAIT: the budget holds even on a socket left blocking.
        ssize_t const done = ::send(socket_.lowlevel_fd(), at, left, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done > 0) {
            at += done;
            left -= unsigned(done);
            continue;
        }
        if (done < 0 && errno == EINTR) continue;
        if (done == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            // No progress: wait for room instead of trying again at once.
            if (wait_writable(start)) continue;
            write_measure_.end();
            std::cerr << ext::header(this) << "write timeout";
            put_queues(std::cerr);
            std::cerr << std::endl;
            ++overflow_counter_;
            on_error("write timeout");
            return;
        }
        Errno const error;
        write_measure_.end();
        std::cerr << ext::header(this) << "write error";
        put_queues(std::cerr);
        std::cerr << ", error=" << error << std::endl;
        ++overflow_counter_;
        on_error(std::string("write error: ") + std::strerror(error.value()));
        return;
    }
    write_measure_.end();
}

void StrmProtocol::on_error(std::string const& text) {
    release();
    on_deactivate(new Protocol_status_error(this, text));
}
