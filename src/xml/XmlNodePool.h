#pragma once
// Internal to the engine: where nodes live. Every node is made with
// makeNode(), which puts the node and its reference count into one block of
// a pool kept per thread: blocks of one size are taken from large chunks of
// address space and go back onto a free list of that size when the last
// reference to the node is dropped. A load of a large document so costs no
// allocator call per node, no allocator header per node and few page faults
// (the chunks ask for huge pages); a node removed from the tree is still an
// ordinary reference-counted node.
//
// Chunks are kept for the life of the process and reused by the next
// document. A block freed on another thread than the one that made it joins
// that thread's free lists. Under AddressSanitizer the pool is left out and
// every node is allocated on its own, so that use after release is still
// found.

#include <cstddef>
#include <memory>
#include <utility>

namespace xmlpool {

void* allocate(std::size_t bytes);
void deallocate(void* p, std::size_t bytes) noexcept;

template <typename T> struct Allocator {
    using value_type = T;
    Allocator() = default;
    template <typename U> Allocator(const Allocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 8, "pool blocks are aligned for pointers only");
        return static_cast<T*>(xmlpool::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { xmlpool::deallocate(p, n * sizeof(T)); }
    template <typename U> bool operator==(const Allocator<U>&) const noexcept { return true; }
};

} // namespace xmlpool

template <typename T, typename... Args> std::shared_ptr<T> makeNode(Args&&... args) {
    return std::allocate_shared<T>(xmlpool::Allocator<T>(), std::forward<Args>(args)...);
}
