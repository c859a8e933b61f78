// The unit test program's own operator new (allocations.cpp): it counts the blocks made and
// alive, so that a test sees a leak or an allocation where none should be, and runs out of
// memory on request.
#pragma once

#include <atomic>

extern long g_nAllocationsLeft;                // allocations before memory runs out; -1: never
extern std::atomic<long> g_nAllocationsAlive;  // blocks allocated and not yet freed
extern std::atomic<long> g_nAllocationsMade;   // blocks allocated since the program started
