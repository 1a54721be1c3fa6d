#include "runtime/loop/timer.h"

#include "runtime/loop/multiplexer.h"
#include "runtime/system/clock.h"

TimerEvent::~TimerEvent() {
    reset();
}

void TimerEvent::schedule(unsigned ms) {
    expiry_ = Mux::milliseconds() + ms;
    Multiplexer::instance().set(this);
}

void TimerEvent::reset() {
    if (queued_) Multiplexer::instance().reset(this);
}

void SimpleTimerEvent1::fire() {
    timer_->Unbind();
    function_();
    delete this;
}

void Timer::reset() {
    TimerEvent* const event = event_;
    event_ = nullptr;
    delete event;
}

void Timer::own(TimerEvent* event) {
    TimerEvent* const old = event_;
    event_ = event;
    delete old;
}

void TimerPoolPlugin::timerHook() {
    if (hooked_) return;
    Multiplexer::instance().hook(this);
    hooked_ = true;
}

void TimerPoolPlugin::timerUnhook() {
    if (!hooked_) return;
    Multiplexer::instance().unhook(this);
    hooked_ = false;
}
