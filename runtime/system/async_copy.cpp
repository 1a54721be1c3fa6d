#include "runtime/system/async_copy.h"

#include <unistd.h>

#include <cerrno>
#include <new>

namespace ASync {

namespace {

constexpr short error_events = POLLERR | POLLHUP | POLLNVAL;

bool would_block(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

void Copy::set_events(EventsParams const& params) {
    events_ = params;
    Complete(Status::reconfigured);
}

void Copy::set_bufsize(uint32_t size) {
    begin_ = end_ = 0;
    buffer_.reset(size != 0 ? new (std::nothrow) char[size] : nullptr);
    bufsize_ = buffer_ ? size : 0;
    Complete(Status::reconfigured);
}

void Copy::CheckBuffer() {
    if (buffer_) return;
    buffer_.reset(new char[default_bufsize]);
    bufsize_ = default_bufsize;
}

void Copy::Start(Fd source, Fd destination) {
    state_ = Status::copying;
    src_ = std::move(source);
    dst_ = std::move(destination);
    src_event_.Release();
    dst_event_.Release();
    src_event_.Bind("Copy::OnSrcEvent", &Copy::OnSrcEvent, this);
    dst_event_.Bind("Copy::OnDstEvent", &Copy::OnDstEvent, this);
    CheckBuffer();
    written_ = 0;
    begin_ = end_ = 0;
    src_hung_up_ = false;
    step_ = &Copy::NotReady;

    // A read or write that blocks would stop the whole loop.
    if (!src_.NonBlock() || !dst_.NonBlock()) {
        Complete(Status::failed);
        return;
    }
    src_event_.Schedule(src_, 0);
    dst_event_.Schedule(dst_, 0);
    if (!src_event_.IsActive() || !dst_event_.IsActive()) {
        Complete(Status::failed);
        return;
    }
    step_ = &Copy::SrcReady;
    Progress();
}

void Copy::Stop() {
    if (state_ != Status::copying) return;
    if (GoFlush()) Progress();
}

void Copy::Progress() {
    // A step that completes the copy returns 0, so nothing of a copy that
    // its owner destroyed is touched again.
    while ((this->*step_)()) {
    }
}

int Copy::SrcReady() {
    errno = 0;
    ssize_t const n = ::read(src_.lowlevel_fd(), buffer_.get(), bufsize_);
    if (n > 0) {
        begin_ = 0;
        end_ = uint32_t(n);
        GoWriting();
        return 1;
    }
    if (n == 0) return GoFlush();
    int const error = errno;
    if (error == EINTR) return 1;
    if (would_block(error)) {
        // After a hang-up nothing more will come.
        if (src_hung_up_) return GoFlush();
        src_event_.SetEvents(short(events_.read));
        dst_event_.SetEvents(0);
        return 0;
    }
    // Data cut short by an error is a failed copy, however much came before.
    Complete(Status::failed);
    return 0;
}

int Copy::DstReady() {
    errno = 0;
    ssize_t const n = ::write(dst_.lowlevel_fd(), buffer_.get() + begin_, end_ - begin_);
    if (n > 0) {
        written_ += uint32_t(n);
        begin_ += uint32_t(n);
        if (begin_ < end_) return 1;
        if (state_ == Status::writing_rest) return GoFlushDst();
        GoReading();
        return 1;
    }
    if (n < 0) {
        int const error = errno;
        if (error == EINTR) return 1;
        if (would_block(error)) {
            src_event_.SetEvents(0);
            dst_event_.SetEvents(short(events_.write));
            return 0;
        }
    }
    Complete(Status::failed);
    return 0;
}

void Copy::GoReading() {
    src_event_.SetEvents(short(events_.read));
    dst_event_.SetEvents(0);
    step_ = &Copy::SrcReady;
}

void Copy::GoWriting() {
    src_event_.SetEvents(0);
    dst_event_.SetEvents(short(events_.write));
    step_ = &Copy::DstReady;
}

int Copy::GoFlush() {
    src_event_.Release();
    src_.close();
    if (step_ == &Copy::DstReady) {
        state_ = Status::writing_rest;
        return 1;
    }
    return GoFlushDst();
}

int Copy::GoFlushDst() {
    if (events_.flush == 0) {
        Complete(Status::completed);
        return 0;
    }
    dst_event_.SetEvents(short(events_.flush));
    step_ = &Copy::NotReady;
    state_ = Status::flushing;
    return 1;
}

void Copy::OnSrcEvent(int, short revents) {
    // After a hang-up the reads drain what is left; one that would block
    // then ends the source instead of waiting for more.
    if (revents & error_events) src_hung_up_ = true;
    if (revents & short(events_.read)) {
        Progress();
        return;
    }
    if (revents & error_events) {
        // The hang-up is reported on every poll from now on: stop polling
        // the source.
        src_event_.Release();
        Progress();
    }
}

void Copy::OnDstEvent(int, short revents) {
    if (revents & error_events) {
        Complete(Status::failed);
        return;
    }
    if (state_ == Status::copying || state_ == Status::writing_rest) {
        if (revents & short(events_.write)) Progress();
        return;
    }
    if (state_ == Status::flushing && (revents & short(events_.flush))) Complete(Status::completed);
}

void Copy::Complete(Status::Type status) {
    if (!active()) return;
    src_event_.UnBind();
    dst_event_.UnBind();
    state_ = status;
    src_event_.Release();
    dst_event_.Release();
    src_.close();
    dst_.close();
    step_ = &Copy::NotReady;
    // Last: the owner may destroy the copy in this call.
    if (handler_) handler_->Invoke(status);
}

}  // namespace ASync
