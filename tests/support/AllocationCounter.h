// Counts the allocations a test program makes through operator new, so a test can prove that a
// per-frame path (Flip, CopyTo, Update) allocates nothing. Linking this file replaces the global
// operator new and delete of the test program that calls AllocationCount().
#pragma once

#include <cstddef>

// Allocations made through operator new (all forms) since the program started.
long AllocationCount();
// Bytes requested through operator new since the program started.
std::size_t AllocatedBytes();
