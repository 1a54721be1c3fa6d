#pragma once
// ASync::Connect opens an outgoing TCP connection without blocking the main
// loop: it starts a non-blocking connect, waits on the loop for the socket to
// become writable or for its time-out, and hands the connected descriptor, or
// the failure, to its owner once.
//
// The owner may destroy the object, or start it again, inside the callback:
// nothing touches the object after that call.

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/loop/event.h"
#include "runtime/loop/timer.h"
#include "runtime/system/fd.h"

namespace ASync {

class Connect {
public:
    struct Status {
        enum Type {
            not_started = 0,
            connecting = 1,
            failed = 2,
            connected = 3,
            stopped = 4,
        };
    };

    // Told once how the attempt ended; the descriptor is valid only with
    // status connected and belongs to the owner from then on.
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(Status::Type status, Fd fd) = 0;
    };

    // Forwards Invoke to a member function of T; a null member does nothing.
    template <class T>
    class THandler : public Handler {
    public:
        using Action = void (T::*)(Status::Type status, Fd fd);
        THandler(Action action, T* object) : action_(action), object_(object) {}
        void Invoke(Status::Type status, Fd fd) override {
            if (action_) (object_->*action_)(status, std::move(fd));
        }

    private:
        Action action_;
        T* object_;
    };

    Connect() = default;
    Connect(Connect const&) = delete;
    Connect& operator=(Connect const&) = delete;
    // An attempt in progress ends silently: the handler is not called.
    ~Connect() = default;

    // Replaces the bound handler (the earlier one is deleted).
    void Bind(Handler* handler) { handler_.reset(handler); }
    template <class T>
    void Bind(typename THandler<T>::Action action, T* object) {
        Bind(new THandler<T>(action, object));
    }
    void UnBind() { handler_.reset(); }

    // Connects to "a.b.c.d:port" within timeout_ms. An address that does not
    // parse, has no port (or port 0) or is 0.0.0.0 fails at once with a line
    // on the error stream. An attempt that ends at once (refused, or
    // connected on the spot) calls the handler before Start returns. A Start
    // during an attempt abandons the earlier one silently.
    void Start(std::string const& address, uint32_t timeout_ms);
    // Ends an attempt in progress with status stopped; otherwise nothing.
    void Stop() { Complete(Status::stopped); }

    Status::Type status() const { return status_; }

private:
    void OnSocketEvent(int fd, short revents);
    void OnTimeOut(Timer* timer);
    void Complete(Status::Type status);

    Status::Type status_ = Status::not_started;
    Fd socket_;
    Event event_;
    std::unique_ptr<Handler> handler_;
    Timer timer_;
};

}  // namespace ASync
