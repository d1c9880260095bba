#include "xml/XmlNodePool.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLO_XML_NO_POOL 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLO_XML_NO_POOL 1
#endif
#endif

namespace xmlpool {

#ifdef QUILLO_XML_NO_POOL

void* allocate(std::size_t bytes) {
    return ::operator new(bytes);
}

void deallocate(void* p, std::size_t) noexcept {
    ::operator delete(p);
}

#else

namespace {

// Nodes need no alignment beyond that of a pointer.
constexpr std::size_t kGrain = 8;
// Blocks above this size (no node kind comes near it, only long texts) use
// operator new.
constexpr std::size_t kMaxBlock = 4096;
constexpr std::size_t kClasses = kMaxBlock / kGrain;
// Address space is taken in chunks of this size, aligned to it, so that the
// system can back them with huge pages.
constexpr std::size_t kChunk = std::size_t(2) << 20;

struct FreeBlock {
    FreeBlock* next;
};

struct Pool {
    FreeBlock* free[kClasses + 1] = {};
    char* bump = nullptr;
    char* bumpEnd = nullptr;

    void newChunk() {
        // Twice the size, then trimmed to one aligned chunk.
        void* m = ::mmap(nullptr, 2 * kChunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                         -1, 0);
        if (m == MAP_FAILED)
            throw std::bad_alloc();
        auto start = reinterpret_cast<std::uintptr_t>(m);
        std::uintptr_t aligned = (start + kChunk - 1) & ~(kChunk - 1);
        if (aligned > start)
            ::munmap(m, aligned - start);
        std::uintptr_t tail = aligned + kChunk;
        std::uintptr_t end = start + 2 * kChunk;
        if (end > tail)
            ::munmap(reinterpret_cast<void*>(tail), end - tail);
#ifdef MADV_HUGEPAGE
        ::madvise(reinterpret_cast<void*>(aligned), kChunk, MADV_HUGEPAGE);
#endif
        bump = reinterpret_cast<char*>(aligned);
        bumpEnd = bump + kChunk;
    }
};

thread_local Pool pool;

inline std::size_t sizeClass(std::size_t bytes) {
    return (bytes + kGrain - 1) / kGrain;
}

} // namespace

void* allocate(std::size_t bytes) {
    if (bytes == 0 || bytes > kMaxBlock)
        return ::operator new(bytes);
    std::size_t c = sizeClass(bytes);
    Pool& p = pool;
    if (FreeBlock* b = p.free[c]) {
        p.free[c] = b->next;
        return b;
    }
    std::size_t size = c * kGrain;
    if (static_cast<std::size_t>(p.bumpEnd - p.bump) < size)
        p.newChunk();
    void* r = p.bump;
    p.bump += size;
    return r;
}

void deallocate(void* ptr, std::size_t bytes) noexcept {
    if (!ptr)
        return;
    if (bytes == 0 || bytes > kMaxBlock) {
        ::operator delete(ptr);
        return;
    }
    std::size_t c = sizeClass(bytes);
    Pool& p = pool;
    auto* b = static_cast<FreeBlock*>(ptr);
    b->next = p.free[c];
    p.free[c] = b;
}

#endif

} // namespace xmlpool
