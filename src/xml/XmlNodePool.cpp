#include "xml/XmlNodePool.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <thread>
#include <type_traits>
#include <vector>

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

LoadAhead::LoadAhead(std::size_t) {}
LoadAhead::~LoadAhead() = default;

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

// A chunk of fresh address space, aligned to its size; null when the system
// has none.
char* mapChunk() noexcept {
    // Twice the size, then trimmed to one aligned chunk.
    void* m =
        ::mmap(nullptr, 2 * kChunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return nullptr;
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
    return reinterpret_cast<char*>(aligned);
}

// The system zeroes memory when it is first touched; on a large document
// that is a good part of a load's time. While a large load runs, a helper
// thread maps and touches the next few chunks, so that the load finds them
// ready instead of waiting for the zeroing. It keeps only kAhead chunks
// ready at a time, so a load that ends early leaves little unused.
class Ahead {
public:
    static constexpr std::size_t kAhead = 2;

    explicit Ahead(std::size_t chunks) : wanted_(chunks), worker_([this] { run(); }) {}
    ~Ahead() {
        if (worker_.joinable())
            finish();
    }

    // Stops the helper; the chunks it made that were not taken.
    std::vector<char*> finish() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        more_.notify_one();
        worker_.join();
        return std::move(ready_);
    }

    // A ready chunk, or null when none is ready yet.
    char* take() {
        char* c = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (ready_.empty())
                return nullptr;
            c = ready_.front();
            ready_.erase(ready_.begin());
        }
        more_.notify_one();
        return c;
    }

private:
    void run() {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_);
                more_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
                if (stop_ || wanted_ == 0)
                    return;
                --wanted_;
            }
            char* c = mapChunk();
            if (!c)
                return;
            for (std::size_t at = 0; at < kChunk; at += 4096)
                reinterpret_cast<volatile char*>(c)[at] = 0;
            std::lock_guard<std::mutex> lock(m_);
            ready_.push_back(c);
        }
    }

    std::mutex m_;
    std::condition_variable more_;
    std::vector<char*> ready_;
    std::size_t wanted_;
    bool stop_ = false;
    std::thread worker_;
};

struct Pool {
    FreeBlock* free[kClasses + 1] = {};
    char* bump = nullptr;
    char* bumpEnd = nullptr;
    Ahead* ahead = nullptr;    // while a large load runs on this thread
    // Chunks made ahead and not used by their load, linked through their
    // first bytes (the pool stays trivially destructible).
    char* spare = nullptr;
    std::size_t spareChunks = 0;
    std::size_t freeBytes = 0; // in the free lists

    void addSpare(char* chunk) {
        *reinterpret_cast<char**>(chunk) = spare;
        spare = chunk;
        ++spareChunks;
    }

    void newChunk() {
        char* c = ahead ? ahead->take() : nullptr;
        if (!c && spare) {
            c = spare;
            spare = *reinterpret_cast<char**>(c);
            --spareChunks;
        }
        if (!c)
            c = mapChunk();
        if (!c)
            throw std::bad_alloc();
        bump = c;
        bumpEnd = bump + kChunk;
    }
};

thread_local Pool pool;
static_assert(std::is_trivially_destructible_v<Pool>, "nodes may be freed after the pool of their thread is gone");

// About the pool memory a load takes per byte of input, at most: nodes and
// their text of a feed with short elements.
constexpr std::size_t kPoolBytesPerInputByte = 2;
// Below this much input a load is over before a helper would help.
constexpr std::size_t kLoadAheadFrom = std::size_t(4) << 20;

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
        p.freeBytes -= c * kGrain;
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
    p.freeBytes += c * kGrain;
}

LoadAhead::LoadAhead(std::size_t inputBytes) {
    Pool& p = pool;
    if (p.ahead || inputBytes < kLoadAheadFrom)
        return;
    // What the free lists, the spare chunks and the current chunk hold is
    // used first.
    std::size_t need = inputBytes * kPoolBytesPerInputByte;
    std::size_t have = p.freeBytes + p.spareChunks * kChunk +
                       static_cast<std::size_t>(p.bumpEnd - p.bump);
    if (need <= have + 2 * kChunk)
        return;
    try {
        p.ahead = new Ahead((need - have) / kChunk);
    } catch (...) {
        // No thread to spare: the load makes its chunks itself.
        p.ahead = nullptr;
    }
    active_ = p.ahead != nullptr;
}

LoadAhead::~LoadAhead() {
    if (!active_)
        return;
    Pool& p = pool;
    std::unique_ptr<Ahead> a(p.ahead);
    p.ahead = nullptr;
    for (char* c : a->finish())
        p.addSpare(c);
}

#endif

} // namespace xmlpool
