#include "tests/support/allocation_counter.h"

#include <atomic>
#include <cstddef>

// clang-format off
namespace {
std::atomic<uint64_t> allocations{0};
void count() { allocations.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

uint64_t allocation_counter::total() { return allocations.load(std::memory_order_relaxed); }

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer owns the allocator; it reports each allocation to a hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
static const int hooked = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, std::size_t) { count(); }, nullptr);
#else
// glibc lets a program replace its allocator (operator new allocates with malloc): these count,
// then call glibc's own.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* malloc(std::size_t size) { return count(), __libc_malloc(size); }
void* calloc(std::size_t n, std::size_t size) { return count(), __libc_calloc(n, size); }
void* realloc(void* p, std::size_t size) { return count(), __libc_realloc(p, size); }
void free(void* p) { __libc_free(p); }
}
#endif
// clang-format on
