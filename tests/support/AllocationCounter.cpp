// The counting global operator new and delete behind AllocationCounter.h. The object file is only
// pulled out of the support library by programs that call AllocationCount().
#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_allocations{0};
std::atomic<std::size_t> g_bytes{0};
std::atomic<std::size_t> g_failing{0};

[[gnu::noinline]] void* CountedAllocate(std::size_t size) {
    ++g_allocations;
    g_bytes += size;
    if (size != 0 && size == g_failing.load()) throw std::bad_alloc();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}

[[gnu::noinline]] void Release(void* p) noexcept {
    std::free(p);
}
} // namespace

long AllocationCount() {
    return g_allocations.load();
}
std::size_t AllocatedBytes() {
    return g_bytes.load();
}
void FailAllocationsOf(std::size_t bytes) {
    g_failing = bytes;
}

void* operator new(std::size_t size) {
    return CountedAllocate(size);
}
void* operator new[](std::size_t size) {
    return CountedAllocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
