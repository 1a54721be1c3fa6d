#pragma once
// Deferred calls: work that runs on every pass of the main loop while it is
// active, outside any descriptor or timer callback. The loop runs every
// active Dpc twice per pass, once after the due timers have fired and once
// just before the poll, in the order of the Dpc objects' addresses. A Dpc
// deactivated or destroyed during a run is not called later in that run; one
// activated during a run first runs at the next.

#include <memory>

class DpcHandler {
public:
    virtual void Invoke() = 0;
    virtual ~DpcHandler() = default;
};

// Calls a plain function.
class DpcHandler1 : public DpcHandler {
public:
    explicit DpcHandler1(void (*function)()) : function_(function) {}
    void Invoke() override { function_(); }

private:
    void (*function_)();
};

// Calls object->member().
template <class T>
class TDpcHandler : public DpcHandler {
public:
    TDpcHandler(T* object, void (T::*member)()) : object_(object), member_(member) {}
    void Invoke() override { (object_->*member_)(); }

private:
    T* object_;
    void (T::*member_)();
};

class Dpc {
public:
    Dpc() = default;
    Dpc(Dpc const&) = delete;
    Dpc& operator=(Dpc const&) = delete;
    ~Dpc();

    // Each binding replaces (and deletes) the earlier one; binding neither
    // activates nor deactivates.
    void Bind(DpcHandler* handler) { handler_.reset(handler); }
    void Bind(void (*function)()) { Bind(new DpcHandler1(function)); }
    template <class T>
    void Bind(T* object, void (T::*member)()) {
        Bind(new TDpcHandler<T>(object, member));
    }

    void Activate();
    void Deactivate();
    bool is_active() const { return active_; }

    // Calls the bound handler, when there is one.
    void Invoke() {
        if (handler_) handler_->Invoke();
    }

private:
    std::unique_ptr<DpcHandler> handler_;
    bool active_ = false;
};
