#pragma once
// CleanQueue: a bounded ring of N slots, for send and retransmission queues
// of packets. Whatever leaves the queue (get, get_last, clear)
// also leaves its slot empty, so a packet that left the queue is no longer
// held by it and its buffer can return to the pool.

#include <cstdint>

template <class T, unsigned N>
class CleanQueue {
    static_assert(N > 0, "a queue needs at least one slot");

public:
    CleanQueue() = default;
    CleanQueue(CleanQueue const&) = delete;
    CleanQueue& operator=(CleanQueue const&) = delete;

    // Stores x behind the newest element; false (nothing stored) when full.
    bool put(T const& x) {
        if (count_ == N) return false;
        slots_[tail_] = x;
        tail_ = inc_index(tail_);
        ++count_;
        return true;
    }

    // Stores x in front of the oldest element, so the next get returns it;
    // false when full.
    bool append(T const& x) {
        if (count_ == N) return false;
        head_ = dec_index(head_);
        slots_[head_] = x;
        ++count_;
        return true;
    }

    // Takes the oldest element; false (out untouched) when empty.
    bool get(T* out) { return get(*out); }
    bool get(T& out) {
        if (count_ == 0) return false;
        out = slots_[head_];
        slots_[head_] = T();
        head_ = inc_index(head_);
        --count_;
        return true;
    }

    // Takes the newest element; false when empty.
    bool get_last(T* out) {
        if (count_ == 0) return false;
        tail_ = dec_index(tail_);
        *out = slots_[tail_];
        slots_[tail_] = T();
        --count_;
        return true;
    }

    // Copies the oldest element to out (when out is not null), leaving the
    // queue as it is; false when empty.
    bool preview(T* out) const {
        if (count_ == 0) return false;
        if (out) *out = slots_[head_];
        return true;
    }

    unsigned count() const { return count_; }
    unsigned size() const { return N; }
    bool empty() const { return count_ == 0; }

    // Empties the queue and releases everything it held.
    void clear() {
        for (; count_ > 0; --count_) {
            slots_[head_] = T();
            head_ = inc_index(head_);
        }
        head_ = tail_ = 0;
    }

    static unsigned inc_index(unsigned i) { return i >= N - 1 ? 0 : i + 1; }
    static unsigned dec_index(unsigned i) { return i == 0 ? N - 1 : i - 1; }

private:
    T slots_[N];  // destroyed last slot first
    uint32_t head_ = 0;
    uint32_t tail_ = 0;
    uint32_t count_ = 0;
};
