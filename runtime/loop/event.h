#pragma once
// Descriptor handlers of the main loop. EventHandler is what the Multiplexer
// polls and serves; Event is the one concrete handler: it holds its own
// duplicate of a descriptor, the poll events it waits for, and a callback
// bound to a member function of its client (Event::Bind). After every poll
// that reports any ready descriptor the loop serves every registered handler,
// also those whose own descriptor returned nothing: callbacks get revents 0
// then and must ignore it.

#include <poll.h>

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/containers/lists.h"
#include "runtime/loop/measure.h"
#include "runtime/system/fd.h"

class Multiplexer;

class EventHandler : public F_dual_list_item<EventHandler> {
public:
    EventHandler() = default;
    EventHandler(EventHandler const&) = delete;
    EventHandler& operator=(EventHandler const&) = delete;
    // A handler still registered with the loop is taken off it, so the loop
    // never refers to a destroyed handler.
    virtual ~EventHandler();

    // Fills this handler's poll entry.
    virtual void shedule_event(pollfd& entry) = 0;
    // Serves the handler with what poll returned for its entry.
    virtual void svc_event(short revents) = 0;
    virtual std::string event_name() const { return "unknown"; }
    // Whether the status dump lists the handler.
    virtual bool is_named() const { return false; }

    void mux_attach();
    void mux_detach();
    void svc_event() { svc_event(revents_); }

    bool attached() const { return attached_; }
    short returned_events() const { return revents_; }

private:
    friend class Multiplexer;
    enum class Where : uint8_t { none, fresh, polled, serviced };

    bool attached_ = false;
    short revents_ = 0;
    // The loop's bookkeeping: which of its lists holds the handler, and the
    // handler's entry in the poll set built for the current pass.
    Where where_ = Where::none;
    unsigned poll_index_ = 0;
};

class Event : public EventHandler {
public:
    // The callback of a descriptor event.
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(int fd, short revents) = 0;
    };

    // Forwards Invoke to a member function of T; a null member does nothing.
    template <class T>
    class THandler : public Handler {
    public:
        using Action = void (T::*)(int fd, short revents);
        THandler(Action action, T* object) : action_(action), object_(object) {}
        void Invoke(int fd, short revents) override {
            if (action_) (object_->*action_)(fd, revents);
        }

    private:
        Action action_;
        T* object_;
    };

    Event() = default;
    ~Event() override;

    // Replaces the bound callback (the earlier one is deleted).
    void Bind(Handler* handler) { handler_.reset(handler); }
    // Names the event for the status dump, then binds object->action.
    template <class T>
    void Bind(std::string const& name, typename THandler<T>::Action action, T* object) {
        name_ = name;
        Bind(new THandler<T>(action, object));
    }
    void UnBind() { handler_.reset(); }

    // Takes its own duplicate of fd and the poll events to wait for, and is
    // registered with the loop while that duplicate is valid.
    void Schedule(Fd const& fd, short events);
    // Unregisters and closes the descriptor; close()'s result (-1 with EBADF
    // when there was none).
    int Release();
    // The poll events from the next poll on; registration is unchanged.
    void SetEvents(int events) { mask_ = short(events); }

    int lowlevel_fd() const { return fd_.lowlevel_fd(); }
    bool IsActive() const { return fd_.is_valid(); }
    short events() const { return mask_; }
    std::string const& name() const { return name_; }
    bool is_bound() const { return handler_ != nullptr; }
    uint32_t count() const { return counter_; }
    Measure const& measure() const { return measure_; }

    using EventHandler::svc_event;
    void shedule_event(pollfd& entry) override;
    void svc_event(short revents) override;
    std::string event_name() const override { return name_; }
    bool is_named() const override { return true; }

private:
    std::unique_ptr<Handler> handler_;
    Fd fd_;
    short mask_ = 0;
    std::string name_ = "Unknown";
    uint32_t counter_ = 0;
    Measure measure_;
};

// The names of the poll bits set in events, joined by "|" ("POLLIN|POLLPRI");
// empty for 0.
std::string PollEventAsText(short events);
