#pragma once
// One-shot millisecond timers of the main loop. A client owns a Timer and
// arms it with Timer::set, binding one of its member functions; the loop keeps
// the armed TimerEvent in a list sorted by expiry and fires every due event at
// the start of each pass. Periodic work re-arms from inside its callback.
//
// A firing event first releases its Timer (is_running() turns false), then
// calls the client, then deletes itself: a callback may re-arm its own timer,
// cancel it, or destroy the object that holds it.
//
// TimerPoolPlugin lets a plug-in shorten the loop's poll wait.

#include <cstdint>
#include <typeinfo>

#include "runtime/containers/lists.h"

class Timer;

class TimerEvent : public F_dual_list_item<TimerEvent> {
public:
    TimerEvent() = default;
    TimerEvent(TimerEvent const&) = delete;
    TimerEvent& operator=(TimerEvent const&) = delete;
    // A deleted event never stays in the loop's list.
    virtual ~TimerEvent();
    virtual void fire() = 0;

    // Due ms milliseconds from now on the loop's clock (re-arming moves it).
    void schedule(unsigned ms);
    // Takes the event off the loop's list, when it is there.
    void reset();

    // This event's expiry less the other's, as a signed number, so the order
    // holds across a wrap of the clock.
    int compare(TimerEvent const* other) const { return int32_t(expiry_ - other->expiry_); }
    uint32_t expiry() const { return expiry_; }
    bool is_queued() const { return queued_; }

protected:
    uint32_t expiry_ = 0;

private:
    friend class Multiplexer;
    bool queued_ = false;
};

// Calls object->member() when it fires.
template <class T>
class ObjTimerEvent1 : public TimerEvent {
public:
    using Member = void (T::*)();
    ObjTimerEvent1(Timer* timer, Member member, T* object, unsigned ms)
        : timer_(timer), member_(member), object_(object) {
        schedule(ms);
    }
    void fire() override;
    bool calls(Member member, T* object) const { return member_ == member && object_ == object; }

private:
    Timer* timer_;
    Member member_;
    T* object_;
};

// Calls object->member(timer) when it fires.
template <class T>
class ObjTimerEvent2 : public TimerEvent {
public:
    using Member = void (T::*)(Timer*);
    ObjTimerEvent2(Timer* timer, Member member, T* object, unsigned ms)
        : timer_(timer), member_(member), object_(object) {
        schedule(ms);
    }
    void fire() override;
    bool calls(Member member, T* object) const { return member_ == member && object_ == object; }

private:
    Timer* timer_;
    Member member_;
    T* object_;
};

// Calls a plain function when it fires.
class SimpleTimerEvent1 : public TimerEvent {
public:
    SimpleTimerEvent1(Timer* timer, void (*function)(), unsigned ms)
        : timer_(timer), function_(function) {
        schedule(ms);
    }
    void fire() override;

private:
    Timer* timer_;
    void (*function_)();
};

// Owns at most one pending event. Arming replaces the pending event (only the
// newest callback runs); reset and destruction cancel it. Arming again with
// the callback already pending moves the pending event to the new expiry, as
// a new event would stand, without making one: a timer re-armed on every
// message (a watchdog) costs no allocation.
class Timer {
public:
    Timer() = default;
    Timer(Timer const&) = delete;
    Timer& operator=(Timer const&) = delete;
    ~Timer() { reset(); }

    template <class T>
    void set(unsigned ms, void (T::*member)(), T* object) {
        if (auto* e = pending<ObjTimerEvent1<T>>(); e && e->calls(member, object))
            return e->schedule(ms);
        own(new ObjTimerEvent1<T>(this, member, object, ms));
    }
    template <class T>
    void set(unsigned ms, void (T::*member)(Timer*), T* object) {
        if (auto* e = pending<ObjTimerEvent2<T>>(); e && e->calls(member, object))
            return e->schedule(ms);
        own(new ObjTimerEvent2<T>(this, member, object, ms));
    }
    void set(unsigned ms, void (*function)()) { own(new SimpleTimerEvent1(this, function, ms)); }

    void reset();
    // Gives up the pending event without deleting it: it fires on and deletes
    // itself.
    void Unbind() { event_ = nullptr; }
    bool is_running() const { return event_ != nullptr; }

private:
    void own(TimerEvent* event);
    // The pending event when it is of class E.
    template <class E>
    E* pending() const {
        return event_ && typeid(*event_) == typeid(E) ? static_cast<E*>(event_) : nullptr;
    }
    TimerEvent* event_ = nullptr;
};

template <class T>
void ObjTimerEvent1<T>::fire() {
    timer_->Unbind();
    (object_->*member_)();
    delete this;
}

template <class T>
void ObjTimerEvent2<T>::fire() {
    timer_->Unbind();
    (object_->*member_)(timer_);
    delete this;
}

// A timer whose member and period come from a static constant of T:
//     static TimerSpec<T>::Spec const TUpdatespec;   // {&T::OnUpdateTimer, 3000}
//     TimerSpec<T>::SpecTimer<TUpdatespec> update_timer_;
//     update_timer_.set(this);
template <class T>
struct TimerSpec {
    struct Spec {
        void (T::*member)();
        uint32_t period;
    };

    template <Spec const& spec>
    class SpecTimer : public Timer {
    public:
        void set(T* object) { Timer::set(spec.period, spec.member, object); }
    };
};

// A plug-in that the loop asks, on every pass, how long it may wait.
class TimerPoolPlugin {
public:
    TimerPoolPlugin() = default;
    TimerPoolPlugin(TimerPoolPlugin const&) = delete;
    TimerPoolPlugin& operator=(TimerPoolPlugin const&) = delete;
    virtual ~TimerPoolPlugin() { timerUnhook(); }
    // Milliseconds until the plug-in next needs a loop pass (0: at once);
    // negative when it needs none.
    virtual int timerPoll() = 0;

    void timerHook();
    void timerUnhook();
    bool is_hooked() const { return hooked_; }

private:
    bool hooked_ = false;
};
