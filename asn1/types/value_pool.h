#pragma once
// Allocation of value objects. Decoding a message makes one small object per
// component; recycling them through per-size free lists keeps that cheap.
// The pool is per thread and never returns memory; sanitizer builds go
// straight to the heap so that use-after-free stays detectable.

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define MOBREL_ASN1_VALUE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MOBREL_ASN1_VALUE_POOL 0
#endif
#endif
#ifndef MOBREL_ASN1_VALUE_POOL
#define MOBREL_ASN1_VALUE_POOL 1
#endif

namespace ASN1 {
namespace detail {

// Free list of blocks of one size; blocks come from chunks of 64.
template <std::size_t Size>
class BlockPool {
public:
    static void* take() {
        Node*& head = freeList();
        if (!head) refill(head);
        Node* n = head;
        head = n->next;
        return n;
    }
    static void give(void* p) {
        Node*& head = freeList();
        Node* n = static_cast<Node*>(p);
        n->next = head;
        head = n;
    }

private:
    struct Node {
        Node* next;
    };
    static constexpr std::size_t align = alignof(std::max_align_t);
    static constexpr std::size_t block =
        ((Size < sizeof(Node) ? sizeof(Node) : Size) + align - 1) / align * align;
    static Node*& freeList() {
        static thread_local Node* head = nullptr;
        return head;
    }
    static void refill(Node*& head) {
        char* chunk = static_cast<char*>(::operator new(block * 64));
        for (int i = 63; i >= 0; --i) {
            Node* n = reinterpret_cast<Node*>(chunk + i * block);
            n->next = head;
            head = n;
        }
    }
};

// Mix-in of the value classes: objects of exactly sizeof(T) (T itself and the
// typed views derived from it, which add no data) come from the pool.
template <class T>
class Allocator {
public:
    static void* operator new(std::size_t n) {
#if MOBREL_ASN1_VALUE_POOL
        if (n == sizeof(T)) return BlockPool<sizeof(T)>::take();
#endif
        return ::operator new(n);
    }
    static void operator delete(void* p, std::size_t n) {
#if MOBREL_ASN1_VALUE_POOL
        if (n == sizeof(T)) return BlockPool<sizeof(T)>::give(p);
#endif
        ::operator delete(p, n);
    }
};

}  // namespace detail
}  // namespace ASN1
