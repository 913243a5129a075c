#include "tests/support/allocation_counter.h"

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VARNOX_COUNT_ALLOCATIONS 0
#else
#define VARNOX_COUNT_ALLOCATIONS 1
#endif

namespace {
thread_local std::uint64_t count = 0;
thread_local std::uint64_t bytes = 0;
}  // namespace

namespace allocations {
bool counting() {
    return VARNOX_COUNT_ALLOCATIONS != 0;
}
std::uint64_t onThisThread() {
    return count;
}
std::uint64_t bytesOnThisThread() {
    return bytes;
}
}  // namespace allocations

#if VARNOX_COUNT_ALLOCATIONS
namespace {
void* allocate(std::size_t size) {
    ++count;
    bytes += size;
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#endif
