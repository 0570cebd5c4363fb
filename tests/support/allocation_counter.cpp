#include "tests/support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define SCRAPVOLT_COUNT_MALLOC 0
#else
#define SCRAPVOLT_COUNT_MALLOC 1
#endif

namespace {
std::atomic<uint64_t> allocations{0};

void* countedNew(std::size_t size) {
    // Where malloc is counted, the malloc below counts this allocation.
#if !SCRAPVOLT_COUNT_MALLOC
    allocations.fetch_add(1, std::memory_order_relaxed);
#endif
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
}  // namespace

namespace allocation_counter {
uint64_t total() {
    return allocations.load(std::memory_order_relaxed);
}
bool countsMalloc() {
    return SCRAPVOLT_COUNT_MALLOC != 0;
}
}  // namespace allocation_counter

void* operator new(std::size_t size) {
    return countedNew(size);
}
void* operator new[](std::size_t size) {
    return countedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

#if SCRAPVOLT_COUNT_MALLOC
// glibc lets a program replace malloc; these forward to its own allocator and count.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
void free(void* p) {
    __libc_free(p);
}
}
#endif
