#include "allocations.h"

#include <cstdlib>
#include <new>

long g_nAllocationsLeft = -1;
std::atomic<long> g_nAllocationsAlive{0};
std::atomic<long> g_nAllocationsMade{0};

// GCC takes the replacement's free for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    if (g_nAllocationsLeft == 0) throw std::bad_alloc();
    if (g_nAllocationsLeft > 0) --g_nAllocationsLeft;
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    ++g_nAllocationsAlive;
    ++g_nAllocationsMade;
    return block;
}

void operator delete(void* block) noexcept {
    if (block == nullptr) return;
    --g_nAllocationsAlive;
    std::free(block);
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}
#pragma GCC diagnostic pop
