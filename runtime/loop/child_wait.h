#pragma once
// Child-process exits as ordinary main-loop callbacks. The SIGCHLD handler
// reaps every ended child and writes one record {pid, status} per child into a
// Unix datagram socket pair; the loop reads the other end and notifies the
// ChildWait watch attached for that pid. No client code runs in the signal
// handler.
//
// An owner that starts a child binds a member to its watch, starts the
// process and attaches the watch with the pid:
//     watch_.Bind(this, &Owner::on_terminate);
//     watch_.Attach(pid);
// The watch is off the list when its callback runs (notified once per
// Attach); the callback may attach it again, rebind it or destroy it.

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <new>

#include "runtime/containers/lists.h"
#include "runtime/loop/event.h"
#include "runtime/system/fd.h"

class ChildWait : public F_dual_list_item<ChildWait> {
public:
    class Handler {
    public:
        Handler() = default;
        virtual ~Handler() = default;
        virtual void Invoke(ChildWait& watch, int status) = 0;
    };

    class DummyHandler : public Handler {
    public:
        void Invoke(ChildWait&, int) override {}
    };

    // Calls object.member(status).
    template <class T>
    class THandler1 : public Handler {
    public:
        THandler1(T& object, void (T::*member)(int)) : object_(&object), member_(member) {}
        void Invoke(ChildWait&, int status) override { (object_->*member_)(status); }

    private:
        T* object_;
        void (T::*member_)(int);
    };

    // One per program unit that uses ChildWait (defined below): the service
    // exists from the first static object that could need it to the last.
    class Init {
    public:
        Init();
        Init(Init const&) = delete;
        Init& operator=(Init const&) = delete;
        ~Init();
    };

    ChildWait();
    ChildWait(ChildWait const&) = delete;
    ChildWait& operator=(ChildWait const&) = delete;
    ~ChildWait();

    // The handler is built inside the watch; binding allocates nothing.
    template <class T>
    void Bind(T* object, void (T::*member)(int)) {
        static_assert(sizeof(THandler1<T>) <= handler_storage_size, "handler too big");
        handler_->~Handler();
        handler_ = ::new (storage_) THandler1<T>(*object, member);
    }

    // Watches pid (moving the watch to the tail of the list when attached).
    void Attach(int pid);
    void Detach();
    int pid() const { return pid_; }
    bool is_attached() const { return attached_; }

    static void Initialize();
    static void Cleanup();
    // Creates the socket pair and installs the SIGCHLD handler; the program
    // entry calls it once before the loop runs.
    static void Activate();
    static int UsageCounter;

private:
    friend class ChildWaitService;
    static constexpr std::size_t handler_storage_size = 64;

    int pid_ = 0;
    bool attached_ = false;
    alignas(std::max_align_t) unsigned char storage_[handler_storage_size];
    Handler* handler_;
};

static ChildWait::Init ChildWaitInit;

class ChildWaitService : public Event {
public:
    // The one service; null when there is none.
    static std::atomic<ChildWaitService*> childWaitService;

    ChildWaitService();
    // Unregisters and closes both ends; watches still attached are released.
    ~ChildWaitService() override;

    void Activate();
    void Attach(ChildWait* watch);
    void Detach(ChildWait* watch);

    static void SigChldHandlerWrapper(int, siginfo_t*, void*);
    // Reaps ended children and writes their records; runs in the signal
    // handler, never blocks, keeps errno.
    void SigChldHandler();
    void OnChildEvent(int fd, short revents);

private:
    void reap();

    Fd writer_;
    F_dual_list<ChildWait> watches_;
    // Set when an ended child was left unreaped because the pair was full;
    // the loop reaps it once it has emptied the pair.
    volatile sig_atomic_t kept_ = 0;
};
