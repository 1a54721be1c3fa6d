#include "slots/auth_client.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "hardware/device/record.h"
#include "slots/modem_factory.h"

AuthClient::AuthClient(Fd fd, INet4::Addr const& peer, ModemFactory& factory)
    : fd_(std::move(fd)), peer_(peer), factory_(factory) {
    Bind("AuthClient::OnSocketEvent", &AuthClient::OnSocketEvent, this);
}

bool AuthClient::Activate() {
    Schedule(fd_, POLLIN);
    return IsActive();
}

void AuthClient::OnSocketEvent(int, short revents) {
    Guard const guard(*this);
    if (revents & (POLLERR | POLLHUP)) {
        OnDisconnect();
        return;
    }
    if (!(revents & POLLIN)) return;
    while (fd_.is_valid()) {
        ssize_t const got = ::read(fd_.lowlevel_fd(), read_, size_t(target_ - read_));
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got <= 0) {
            OnDisconnect();
            return;
        }
        read_ += got;
        if (read_ < target_) continue;
        uint32_t const length = Device::get32(buffer_);
        // A frame must hold at least its header.
        if (length < PppHelper::header_size || length > PppHelper::max_length) {
            OnDisconnect();
            return;
        }
        if (size_t(target_ - buffer_) < length) {
            target_ = buffer_ + length;
            continue;
        }
        read_ = buffer_;
        target_ = buffer_ + 4;
        session_ = int32_t(PppHelper::ReadHeader(buffer_).session);
        factory_.OnAuth(buffer_);
    }
}

bool AuthClient::Send(PppHelper::Bytes const& frame) {
    Guard const guard(*this);
    if (!fd_.is_valid()) return false;
    size_t const length = PppHelper::ReadHeader(frame.data()).length;
    for (size_t done = 0; done < length;) {
        ssize_t const wrote = ::write(fd_.lowlevel_fd(), frame.data() + done, length - done);
        if (wrote < 1) {
            OnDisconnect();
            return false;
        }
        done += size_t(wrote);
    }
    return true;
}

void AuthClient::OnDisconnect() {
    fd_.close();
    Release();
}

void AuthClient::CheckDisconnect() {
    if (!fd_.is_valid()) factory_.OnAuthSocketDisconnect(this);
}
