// Counts the allocations a test program makes through operator new, so a test can prove that a
// per-frame path (Flip, CopyTo, Update) allocates nothing, and makes chosen ones fail. Linking this
// file replaces the global operator new and delete of the test program that calls
// AllocationCount().
#pragma once

#include <cstddef>

// Allocations made through operator new (all forms) since the program started.
long AllocationCount();
// Bytes requested through operator new since the program started.
std::size_t AllocatedBytes();
// From now on every operator new of exactly `bytes` bytes fails (throws std::bad_alloc, or gives
// null for the nothrow forms), as when memory runs out; 0 ends it.
void FailAllocationsOf(std::size_t bytes);
