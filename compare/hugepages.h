#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include <sys/mman.h>

/// An allocator for the big tables of a comparison: blocks of a megabyte and more are mapped
/// apart and asked for huge pages, as fresh small pages cost a fault each and their lookups miss
/// the TLB on every random access; smaller ones come from the heap.
template<typename T>
struct HugePageAllocator
{
    using value_type = T;

    HugePageAllocator() = default;
    template<typename U>
    HugePageAllocator(const HugePageAllocator<U> &) noexcept
    {
    }

    static constexpr std::size_t kMapped = std::size_t(1) << 20;

    T *allocate(std::size_t count)
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kMapped)
            return static_cast<T *>(::operator new(bytes));
        void *data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (data == MAP_FAILED)
            throw std::bad_alloc();
        madvise(data, bytes, MADV_HUGEPAGE); // a refusal leaves ordinary pages, which work too
        return static_cast<T *>(data);
    }

    void deallocate(T *data, std::size_t count) noexcept
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kMapped)
            ::operator delete(data);
        else
            munmap(data, bytes);
    }

    friend bool operator==(const HugePageAllocator &, const HugePageAllocator &) { return true; }
};

/// A vector whose big blocks lie on huge pages.
template<typename T>
using HugeVector = std::vector<T, HugePageAllocator<T>>;
