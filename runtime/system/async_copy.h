#pragma once
// ASync::Copy moves every byte that can be read from one descriptor to
// another inside the main loop, never blocking it: it reads into its buffer,
// writes the buffer out, and waits on the loop whenever a read or a write
// would block. When the source ends it writes what is left, optionally waits
// for a flush event of the destination, and tells its owner once how the copy
// ended.
//
// The owner may destroy the copy inside the completion callback: nothing
// touches the object after that call.

#include <cstdint>
#include <memory>

#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

namespace ASync {

class Copy {
public:
    struct Status {
        enum Type {
            not_started = 0,
            copying = 1,
            // The source has ended; the rest of the buffer is being written.
            writing_rest = 2,
            // Everything is written; waiting for a flush event.
            flushing = 3,
            failed = 4,
            completed = 5,
            // Ended by set_events or set_bufsize while active.
            reconfigured = 6,
        };
    };

    // Poll masks of the three phases; flush 0 means no flush phase.
    struct EventsParams {
        uint32_t read = POLLIN;
        uint32_t write = POLLOUT;
        uint32_t flush = POLLWRNORM;
    };

    // Told once how the copy ended.
    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(Status::Type status) = 0;
    };

    // Forwards Invoke to a member function of T; a null member does nothing.
    template <class T>
    class THandler : public Handler {
    public:
        using Action = void (T::*)(Status::Type status);
        THandler(Action action, T* object) : action_(action), object_(object) {}
        void Invoke(Status::Type status) override {
            if (action_) (object_->*action_)(status);
        }

    private:
        Action action_;
        T* object_;
    };

    static constexpr uint32_t default_bufsize = 1024;

    Copy() = default;
    Copy(Copy const&) = delete;
    Copy& operator=(Copy const&) = delete;
    // An active copy ends silently: the handler is not called.
    ~Copy() = default;

    // Both end an active copy with status reconfigured; meant to be called
    // before Start.
    void set_events(EventsParams const& params);
    // A size of 0 drops the buffer; Start then makes one of default_bufsize.
    void set_bufsize(uint32_t size);

    // Replaces the bound handler (the earlier one is deleted).
    void Bind(Handler* handler) { handler_.reset(handler); }
    template <class T>
    void Bind(typename THandler<T>::Action action, T* object) {
        Bind(new THandler<T>(action, object));
    }
    void UnBind() { handler_.reset(); }

    // Begins copying from source to destination (the copy keeps its own
    // duplicates, switched to non-blocking mode). The first read is tried at
    // once, so the handler may be called before Start returns.
    void Start(Fd source, Fd destination);
    // Ends the source now: what is in the buffer is still written and the
    // flush phase follows. Does nothing unless copying.
    void Stop();

    Status::Type state() const { return state_; }
    bool active() const {
        return state_ == Status::copying || state_ == Status::writing_rest ||
               state_ == Status::flushing;
    }
    EventsParams const& events() const { return events_; }
    uint32_t bufsize() const { return bufsize_; }
    // Bytes written to the destination since Start.
    uint32_t written() const { return written_; }

private:
    // A step returns nonzero to run the next step at once, 0 to wait.
    using Step = int (Copy::*)();

    void CheckBuffer();
    void Progress();
    int SrcReady();
    int DstReady();
    int NotReady() { return 0; }
    void GoReading();
    void GoWriting();
    int GoFlush();
    int GoFlushDst();
    void OnSrcEvent(int fd, short revents);
    void OnDstEvent(int fd, short revents);
    void Complete(Status::Type status);

    Fd src_;
    Fd dst_;
    EventsParams events_;
    uint32_t bufsize_ = 0;
    Step step_ = &Copy::NotReady;
    std::unique_ptr<Handler> handler_;
    Event src_event_;
    Event dst_event_;
    uint32_t written_ = 0;
    uint32_t begin_ = 0;
    uint32_t end_ = 0;
    Status::Type state_ = Status::not_started;
    // The source has reported a hang-up or an error: a read that would block
    // now means it has nothing more to give.
    bool src_hung_up_ = false;
    std::unique_ptr<char[]> buffer_;
};

}  // namespace ASync
