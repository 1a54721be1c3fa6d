#pragma once
// A fixed pool of N equal blocks for objects of one class: the packet buffers
// come from here (`_Packet::operator new`). Taking and giving back a block are
// list operations of constant time; there is no heap allocation per object.
//
// The blocks live in one anonymous mapping reserved on first use, so a
// process that never takes a block pays no resident memory for them, and a
// block's pages become resident only when it is handed out. The pool is made
// on first use and never destroyed, so it outlives every static object that
// still gives blocks back while the process exits.

#include <cstddef>
#include <new>

#include "runtime/containers/lists.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define MOBREL_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define MOBREL_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define MOBREL_POOL_POISON(p, n) ((void)(p), (void)(n))
#define MOBREL_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// The program has one thread: the pool's lock does nothing.
struct Dummy_critical_section {
    void lock() {}
    void unlock() {}
};

namespace PoolDetail {
// Reserves `bytes` of zero-filled anonymous memory that costs nothing resident
// until touched; throws std::bad_alloc when the system refuses.
void* reserve(std::size_t bytes);
// A block that does not belong to the pool was given back: ends the process.
[[noreturn]] void foreign_block(void const* p);
}  // namespace PoolDetail

template <class T, unsigned N, class CriticalSection>
class List_allocator {
public:
    // One pool block: its list links, then the room for one T.
    struct List_storage : F_dual_list_item<List_storage> {
        alignas(T) unsigned char object[sizeof(T)];
    };

    static constexpr unsigned capacity = N;

    // The pool, made on first use and never destroyed.
    static List_allocator& instance() {
        alignas(List_allocator) static unsigned char storage[sizeof(List_allocator)];
        static List_allocator* const pool = new (storage) List_allocator;
        return *pool;
    }

    // Room for one T from a free block, or null when every block is taken.
    // The block given back last goes out first, while its memory is still
    // warm; a block never used yet is touched only when none was given back,
    // so the pool's resident memory follows the most packets ever held at once.
    T* allocate() {
        Guard guard(crit_section_);
        List_storage* block = free_list_.remove_from_head();
        if (!block && untouched_ < N) {
            if (!blocks_) blocks_ = static_cast<List_storage*>(PoolDetail::reserve(bytes()));
            block = &blocks_[untouched_++];
        }
        if (!block) return nullptr;
        ++in_use_;
        MOBREL_POOL_UNPOISON(block->object, sizeof(T));
        return reinterpret_cast<T*>(block->object);
    }

    // Gives back the block of an object that `allocate` handed out (its T
    // already destroyed); null is ignored.
    void deallocate(void* p) {
        if (!p) return;
        List_storage* block = owner_of(p);
        Guard guard(crit_section_);
        MOBREL_POOL_POISON(block->object, sizeof(T));
        free_list_.insert_to_head(block);
        --in_use_;
    }

    // Number of blocks that can still be taken.
    unsigned available() const { return N - in_use_; }

private:
    struct Guard {
        explicit Guard(CriticalSection& cs) : cs_(cs) { cs_.lock(); }
        ~Guard() { cs_.unlock(); }
        CriticalSection& cs_;
    };

    List_allocator() = default;
    static constexpr std::size_t bytes() { return sizeof(List_storage) * N; }

    // The block whose object is p, found by its position in the block array.
    List_storage* owner_of(void* p) const {
        if (!blocks_) PoolDetail::foreign_block(p);
        auto const* base = reinterpret_cast<unsigned char const*>(blocks_);
        auto const* at = static_cast<unsigned char const*>(p);
        auto const* first = blocks_[0].object;
        if (at < first || at >= base + bytes()) PoolDetail::foreign_block(p);
        std::size_t const distance = static_cast<std::size_t>(at - first);
        if (distance % sizeof(List_storage) != 0) PoolDetail::foreign_block(p);
        return &blocks_[distance / sizeof(List_storage)];
    }

    List_storage* blocks_ = nullptr;  // N blocks, reserved on first allocate
    unsigned untouched_ = 0;          // blocks [untouched_, N) were never handed out
    unsigned in_use_ = 0;
    F_dual_list<List_storage> free_list_;
    CriticalSection crit_section_;
};
