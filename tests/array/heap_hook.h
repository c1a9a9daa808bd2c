// Redirects a loaded library's calls to malloc, calloc, realloc and free to counting
// versions, so tests can watch what it allocates and releases and make an allocation fail.
#pragma once

#include <cstddef>
#include <vector>

namespace harness
{

struct HeapLog {
    int allocations = 0;           // successful malloc, calloc and realloc calls
    int failures = 0;              // allocations refused on purpose
    int failAt = 0;                // the failAt-th allocation from now returns null; 0: none
    std::vector<void *> allocated; // what each successful allocation returned
    std::vector<void *> released;  // every pointer passed to free, in order
};

// The log the redirected calls write to. Reset it between checks.
HeapLog &heapLog();

// Points the library's references to the four heap functions (opened with dlopen)
// at the counting versions. Only that library is affected.
void redirectHeapCalls(void *libraryHandle);

} // namespace harness
