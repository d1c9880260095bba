#pragma once
// Internal to the engine: where nodes and their text live. Every node is
// allocated from a pool kept per thread (TXmlNode's operator new): blocks of
// one size are taken from large chunks of address space and go back onto a
// free list of that size when the node is destroyed. A load of a large
// document so costs no allocator call per node, no allocator header per node
// and few page faults (the chunks ask for huge pages).
//
// Chunks are kept for the life of the process and reused by the next
// document. A block freed on another thread than the one that made it joins
// that thread's free lists. Under AddressSanitizer the pool is left out and
// every node is allocated on its own, so that use after release is still
// found.

#include <cstddef>

namespace xmlpool {

void* allocate(std::size_t bytes);
void deallocate(void* p, std::size_t bytes) noexcept;

// For the life of a load of about inputBytes of input on this thread: when
// the input is large, the memory the load will take is made ready on a
// helper thread while it runs (fresh memory is slow to touch the first time).
// Does nothing for small inputs or when a load of this thread already has one.
class LoadAhead {
public:
    explicit LoadAhead(std::size_t inputBytes);
    ~LoadAhead();
    LoadAhead(const LoadAhead&) = delete;
    LoadAhead& operator=(const LoadAhead&) = delete;

private:
    bool active_ = false;
};

} // namespace xmlpool
