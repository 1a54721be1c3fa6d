#include "tests/support/ss7_peer.h"

#include <poll.h>
#include <sys/socket.h>

#include "signalling/ss7/signal_unit.h"
#include "tests/support/sockets.h"

namespace support {

namespace {
int const repeat_ms = 5;  // the peer sends its current unit this often
uint8_t next(uint8_t n) {
    return uint8_t((n + 1) & 0x7F);
}
}  // namespace

Ss7Peer::Ss7Peer(std::string const& path) : socket_(connectUnix(path, SOCK_SEQPACKET)) {
    if (socket_) thread_ = std::thread(&Ss7Peer::run, this);
}

Ss7Peer::~Ss7Peer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
}

void Ss7Peer::setMode(Mode mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

Ss7Peer::Seen Ss7Peer::seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

bool Ss7Peer::waitFor(std::function<bool(Seen const&)> const& predicate,
                      std::chrono::milliseconds bound) const {
    auto const end = std::chrono::steady_clock::now() + bound;
    while (!predicate(seen())) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

Bytes Ss7Peer::unit(uint8_t kind, Bytes const& body, uint8_t fsn) const {
    Ss7::SignalUnit su;
    su.kind = Ss7::SignalUnit::Kind(kind);
    su.bsn = bsn_;
    su.bib = bib_;
    su.fsn = fsn;
    su.fib = fib_;
    if (su.kind == Ss7::SignalUnit::lssu) su.status = Ss7::Status(body.at(0));
    su.payload = body.data();
    su.payload_size = body.size();
    Bytes frame(Ss7::max_unit);
    frame.resize(Ss7::Build(su, frame.data()));
    return frame;
}

void Ss7Peer::sendUnit(Bytes const& frame) {
    ::send(socket_.lowlevel_fd(), frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void Ss7Peer::sendMessages(std::vector<Bytes> const& msus) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Bytes const& msu : msus) {
        fsn_ = next(fsn_);
        unacked_.push_back({fsn_, msu});
        if (lose_next_) {
            lose_next_ = false;
            continue;
        }
        sendUnit(unit(Ss7::SignalUnit::msu, msu, fsn_));
    }
}

void Ss7Peer::loseNextMessage() {
    std::lock_guard<std::mutex> lock(mutex_);
    lose_next_ = true;
}

void Ss7Peer::sendBadBsn(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < count; ++i) {
        Bytes frame = unit(Ss7::SignalUnit::fisu, {}, fsn_);
        frame[0] = uint8_t((frame[0] & 0x80) | ((frame[0] + 64) & 0x7F));
        sendUnit(frame);
    }
}

// The current unit: busy, alignment or fill-in.
void Ss7Peer::sendFill() {
    if (mode_ == Mode::silent) return;
    if (mode_ == Mode::answering && seen_.in_service)
        return sendUnit(unit(Ss7::SignalUnit::fisu, {}, fsn_));
    Ss7::Status const status = mode_ == Mode::busy ? Ss7::Status::sib : Ss7::Status::sin;
    sendUnit(unit(Ss7::SignalUnit::lssu, {uint8_t(status)}, fsn_));
}

void Ss7Peer::onFrame(uint8_t const* frame, size_t size) {
    Ss7::SignalUnit su;
    if (Ss7::Parse(frame, size, su) != Ss7::ParseResult::good) return;
    if (su.kind == Ss7::SignalUnit::lssu) {
        seen_.last_status = Ss7::StatusName(su.status);
        // The link aligns again, or is out of service: everything starts
        // again from the initial sequence numbers.
        if (su.status != Ss7::Status::sib && su.status != Ss7::Status::sipo) {
            seen_.in_service = false;
            fsn_ = bsn_ = 127;
            fib_ = bib_ = true;
            unacked_.clear();
        }
        return;
    }
    seen_.last_status = su.kind == Ss7::SignalUnit::fisu ? "FISU" : "MSU";
    seen_.in_service = true;
    if (mode_ != Mode::answering) return;
    // Acknowledgements of the peer's own units; a negative one asks for all
    // that are not acknowledged again.
    while (!unacked_.empty() && uint8_t((su.bsn - unacked_.front().fsn) & 0x7F) < 64)
        unacked_.pop_front();
    if (su.bib != fib_) {
        fib_ = su.bib;
        for (Held const& held : unacked_) sendUnit(unit(Ss7::SignalUnit::msu, held.msu, held.fsn));
    }
    if (su.fib != bib_) return;  // waiting for the retransmission asked for
    if (su.kind == Ss7::SignalUnit::fisu) {
        if (su.fsn == bsn_) return;
    } else if (su.fsn == bsn_) {
        ++seen_.received_twice;
        return;
    } else if (su.fsn == next(bsn_)) {
        bsn_ = su.fsn;
        seen_.messages.push_back(text(Bytes(su.payload, su.payload + su.payload_size)));
        return;
    }
    bib_ = !bib_;
}

// Every frame that comes is answered with the current unit, which is also
// sent again whenever nothing comes for a while.
void Ss7Peer::run() {
    for (;;) {
        pollfd entry{socket_.lowlevel_fd(), POLLIN, 0};
        ::poll(&entry, 1, repeat_ms);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        uint8_t frame[512];
        int const fd = socket_.lowlevel_fd();
        for (ssize_t n; (n = ::recv(fd, frame, sizeof(frame), MSG_DONTWAIT)) > 0;)
            onFrame(frame, size_t(n));
        sendFill();
    }
}

}  // namespace support
