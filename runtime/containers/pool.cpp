#include "runtime/containers/pool.h"

#include <sys/mman.h>

#include <exception>
#include <iostream>

namespace PoolDetail {

void* reserve(std::size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

void foreign_block(void const* p) {
    std::clog << "pool: block " << p << " does not belong to the pool" << std::endl;
    std::terminate();
}

}  // namespace PoolDetail
