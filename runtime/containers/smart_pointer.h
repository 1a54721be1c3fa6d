#pragma once
// Smart_pointer: a pointer whose reference count lives in the pointee (a
// public `ref_count` member of T, unsigned 32-bit). Packet buffers and protocol
// status objects are held through it; the non-const arrow gives copy-on-write.

#include <cstdint>

// Print the banner on the log stream and end the process.
[[noreturn]] void SmartPtrAssertion();
[[noreturn]] void SharedPtrAssertion();

template <class T>
class Smart_pointer {
public:
    Smart_pointer(T* p = nullptr) : p_(p) { acquire(); }
    Smart_pointer(Smart_pointer const& o) : p_(o.p_) { acquire(); }
    ~Smart_pointer() { remove_current(); }

    Smart_pointer& operator=(Smart_pointer const& o) { return *this = o.p_; }
    Smart_pointer& operator=(T* p) {
        if (p == p_) return *this;
        remove_current();
        p_ = p;
        acquire();
        return *this;
    }

    void clean() {
        remove_current();
        p_ = nullptr;
    }

    explicit operator bool() const { return p_ != nullptr; }
    bool operator!() const { return p_ == nullptr; }
    bool null() const { return p_ == nullptr; }

    T const* operator->() const {
        if (!p_) SmartPtrAssertion();
        return p_;
    }
    T* operator->() {
        if (!p_) SmartPtrAssertion();
        prepare_for_modify();
        return p_;
    }
    T const& operator*() const { return *operator->(); }
    T& operator*() { return *operator->(); }

    // The object without copy-on-write, for readers that must not unshare it.
    T* get() const { return p_; }

    // gcc cannot follow the count across holders and warns of a use after
    // free where the last holder alone deletes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
    void remove_current() {
        if (!p_) return;
        if (p_->ref_count > 0) --p_->ref_count;
        if (p_->ref_count == 0) {
            T* dead = p_;
            p_ = nullptr;
            delete dead;
        }
    }
#pragma GCC diagnostic pop

    // Copy-on-write: a shared object is copied, and this pointer holds the copy.
    void prepare_for_modify() {
        if (!p_ || p_->ref_count <= 1) return;
        T* copy = new T(*p_);
        remove_current();
        p_ = copy;
        p_->ref_count = 1;
    }

private:
    void acquire() {
        if (p_) ++p_->ref_count;
    }

    T* p_;
};
