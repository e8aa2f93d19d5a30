#pragma once

// Counts every allocation of the process: glibc lets the executable
// interpose the allocator, so a hot path that allocates shows up as a
// non-zero count per call. Include in one source file of a program only.

#include <cstddef>

static std::size_t g_allocations = 0;

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);

void* malloc(std::size_t size)
{
    ++g_allocations;
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    ++g_allocations;
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size)
{
    ++g_allocations;
    return __libc_realloc(pointer, size);
}
}
