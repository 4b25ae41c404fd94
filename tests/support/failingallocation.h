#pragma once

// Replaces the global allocation of the one test program that includes this header (include it in
// one file only): allocations fail on demand, to see an operation that runs out of memory at each
// point it allocates leave everything as it was.

#include <cstdlib>
#include <new>

/// Allocations left before the next one fails, once; -1 for none failing.
inline long g_allocationsLeft = -1;

void *operator new(std::size_t size)
{
    if (g_allocationsLeft >= 0 && g_allocationsLeft-- == 0)
        throw std::bad_alloc();
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }
