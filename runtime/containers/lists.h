#pragma once
// Intrusive containers: the links live in the objects, so adding and
// removing never allocates. F_dual_list keeps the main loop's handlers, timers
// and child watchers, the packet pool's free blocks and the layers of a
// protocol stack; F_sorted_list keeps timers by expiry; Containers::CyclicList
// is a ring of nodes embedded as members.

#include <cstddef>
#include <cstdint>
#include <iterator>

template <class T>
class F_dual_list;

template <class T>
class F_dual_list_item {
public:
    T* get_next() const { return next; }
    T* get_prev() const { return prev; }

private:
    friend class F_dual_list<T>;
    T* next = nullptr;
    T* prev = nullptr;
};

template <class T>
class F_dual_list {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T*;
        using difference_type = std::ptrdiff_t;
        using pointer = T**;
        using reference = T*;

        iterator(T* p = nullptr) : p_(p) {}
        bool good() const { return p_ != nullptr; }
        bool operator!() const { return p_ == nullptr; }
        iterator& operator++() {
            p_ = p_->get_next();
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            p_ = p_->get_next();
            return old;
        }
        T* operator*() const { return p_; }
        T* operator->() const { return p_; }
        bool operator!=(iterator const& o) const { return p_ != o.p_; }
        bool operator==(iterator const& o) const { return p_ == o.p_; }

    private:
        T* p_;
    };

    F_dual_list() = default;

    // Links n (at least 1) consecutive objects of an array in array order.
    F_dual_list(T* array, unsigned n) {
        for (unsigned i = 0; i < n; ++i) insert_to_tail(&array[i]);
    }

    F_dual_list(F_dual_list const&) = delete;
    F_dual_list& operator=(F_dual_list const&) = delete;

    T* insert_to_head(T* x) {
        link(x)->prev = nullptr;
        link(x)->next = head;
        if (head)
            link(head)->prev = x;
        else
            tail = x;
        head = x;
        ++count_;
        return x;
    }

    T* insert_to_tail(T* x) {
        link(x)->next = nullptr;
        link(x)->prev = tail;
        if (tail)
            link(tail)->next = x;
        else
            head = x;
        tail = x;
        ++count_;
        return x;
    }

    T* push_back(T* x) { return insert_to_tail(x); }

    T* insert_after(T* pos, T* x) {
        T* after = link(pos)->next;
        link(x)->prev = pos;
        link(x)->next = after;
        link(pos)->next = x;
        if (after)
            link(after)->prev = x;
        else
            tail = x;
        ++count_;
        return x;
    }

    // Unlinks x, which must be in this list; x's own links are left as they were.
    T* remove(T* x) {
        T* before = link(x)->prev;
        T* after = link(x)->next;
        if (before)
            link(before)->next = after;
        else
            head = after;
        if (after)
            link(after)->prev = before;
        else
            tail = before;
        --count_;
        return x;
    }

    T* remove_from_head() { return head ? remove(head) : nullptr; }
    T* remove_from_tail() { return tail ? remove(tail) : nullptr; }

    iterator begin() const { return iterator(head); }
    iterator end() const { return iterator(nullptr); }
    iterator last() const { return iterator(tail); }
    T* front() const { return head; }
    T* back() const { return tail; }
    uint32_t count() const { return count_; }
    uint32_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

    // The two lists exchange their contents.
    void merge(F_dual_list& other) {
        std::swap(head, other.head);
        std::swap(tail, other.tail);
        std::swap(count_, other.count_);
    }

private:
    static F_dual_list_item<T>* link(T* x) { return static_cast<F_dual_list_item<T>*>(x); }

    T* head = nullptr;
    T* tail = nullptr;
    uint32_t count_ = 0;
};

// An F_dual_list kept ascending by T::compare(T const*), which returns a
// negative, zero or positive number as this element orders before, equal to
// or after the other.
template <class T>
class F_sorted_list : public F_dual_list<T> {
public:
    // Walks from the tail; equal elements keep their insertion order, and an
    // element not smaller than the tail costs one comparison.
    T* insert_to_tail_by_grown(T* x) {
        for (T* e = this->back(); e; e = e->get_prev())
            if (e->compare(x) <= 0) return this->insert_after(e, x);
        return this->insert_to_head(x);
    }
};

namespace Containers {

// A ring node; a list head is a node of its own. An empty ring, and a node in
// no ring, point to themselves.
class CyclicList {
public:
    class TIterator {
    public:
        TIterator() = default;
        explicit TIterator(CyclicList* node) : node_(node) {}
        CyclicList* operator*() const { return node_; }
        TIterator& operator++() {
            node_ = node_->next;
            return *this;
        }
        bool operator==(TIterator const& o) const { return node_ == o.node_; }
        bool operator!=(TIterator const& o) const { return node_ != o.node_; }

    private:
        CyclicList* node_;
    };

    CyclicList() { InternalInit(); }
    CyclicList(CyclicList const&) = delete;
    CyclicList& operator=(CyclicList const&) = delete;
    ~CyclicList() { Unlink(); }

    // Moves node from whatever ring holds it to the tail of this ring.
    void AddToTail(CyclicList* node) {
        InternalDel(node->prev, node->next);
        InternalAdd(node, prev, this);
    }

    // Takes this node out of its ring; it then points to itself.
    void Unlink() {
        InternalDel(prev, next);
        InternalInit();
    }

    bool IsEmpty() const { return next == this; }
    TIterator begin() { return TIterator(next); }
    TIterator end() { return TIterator(this); }

    static void InternalAdd(CyclicList* node, CyclicList* before, CyclicList* after) {
        after->prev = node;
        node->next = after;
        node->prev = before;
        before->next = node;
    }
    static void InternalDel(CyclicList* before, CyclicList* after) {
        after->prev = before;
        before->next = after;
    }

private:
    void InternalInit() { next = prev = this; }

    CyclicList* next;
    CyclicList* prev;
};

// Gives back the T whose CyclicList member `member` is `node`: the node's
// address less the member's position in T. The position is measured on raw
// storage, which is why the vptr check is off for this one function.
template <class T>
__attribute__((no_sanitize("vptr"))) T* offset(CyclicList* node, CyclicList T::*member) {
    alignas(T) static unsigned char probe_storage[sizeof(T)];
    T* const probe = reinterpret_cast<T*>(probe_storage);
    auto const position =
        reinterpret_cast<char*>(&(probe->*member)) - reinterpret_cast<char*>(probe);
    return reinterpret_cast<T*>(reinterpret_cast<char*>(node) - position);
}

}  // namespace Containers
