#include "runtime/loop/event.h"

#include "runtime/loop/multiplexer.h"

EventHandler::~EventHandler() {
    if (where_ != Where::none) Multiplexer::instance().detach(this);
}

void EventHandler::mux_attach() {
    if (attached_) return;
    Multiplexer::instance().attach(this);
    attached_ = true;
}

void EventHandler::mux_detach() {
    if (!attached_) return;
    Multiplexer::instance().detach(this);
    attached_ = false;
}

Event::~Event() {
    handler_.reset();
    if (fd_.is_valid()) mux_detach();
}

void Event::Schedule(Fd const& fd, short events) {
    if (fd_.is_valid()) mux_detach();
    fd_ = fd;
    mask_ = events;
    if (fd_.is_valid()) mux_attach();
}

int Event::Release() {
    if (fd_.is_valid()) mux_detach();
    return fd_.close();
}

void Event::shedule_event(pollfd& entry) {
    entry.fd = fd_.lowlevel_fd();
    entry.events = mask_;
}

void Event::svc_event(short revents) {
    if (revents & mask_) ++counter_;
    // The callback may destroy this event: nothing of it is touched after.
    if (handler_) handler_->Invoke(fd_.lowlevel_fd(), revents);
}

std::string PollEventAsText(short events) {
    static struct {
        short bit;
        char const* text;
    } const names[] = {
        {POLLIN, "|POLLIN"},         {POLLPRI, "|POLLPRI"},       {POLLOUT, "|POLLOUT"},
        {POLLERR, "|POLLERR"},       {POLLHUP, "|POLLHUP"},       {POLLNVAL, "|POLLNVAL"},
        {POLLRDNORM, "|POLLRDNORM"}, {POLLRDBAND, "|POLLRDBAND"}, {POLLWRNORM, "|POLLWRNORM"},
        {POLLWRBAND, "|POLLWRBAND"}, {POLLMSG, "|POLLMSG"},
    };
    std::string text;
    for (auto const& name : names)
        if (events & name.bit) text += name.text;
    return text.empty() ? text : text.substr(1);
}
