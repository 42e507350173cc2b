// SPDX-License-Identifier: Apache-2.0
// An allocator for the few very large arrays (the table's rows, a read's
// columns): large blocks are asked for in huge pages where the system
// offers them on request, so filling a million rows takes a few dozen page
// faults instead of tens of thousands.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace corvane {

template <typename T> struct BigAllocator
{
    using value_type = T;

    BigAllocator() = default;
    template <typename U> BigAllocator(const BigAllocator<U> &) noexcept {}

    T *allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < hugePage) return static_cast<T *>(::operator new(bytes));
        const std::size_t rounded = (bytes + hugePage - 1) / hugePage * hugePage;
        void *p = std::aligned_alloc(hugePage, rounded);
        if (!p) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        ::madvise(p, rounded, MADV_HUGEPAGE);
#endif
        return static_cast<T *>(p);
    }

    void deallocate(T *p, std::size_t n) noexcept
    {
        if (n * sizeof(T) < hugePage)
            ::operator delete(p);
        else
            std::free(p);
    }

    // A new element is default-initialised, not zeroed: a trivial one is
    // left as it is, so that the memory of a grown array is first touched
    // where the work fills it (on several threads), not by the growing.
    template <typename U> void construct(U *p) noexcept(noexcept(U()))
    {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args> void construct(U *p, Args &&...args)
    {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }

    template <typename U> bool operator==(const BigAllocator<U> &) const noexcept
    {
        return true;
    }
    template <typename U> bool operator!=(const BigAllocator<U> &) const noexcept
    {
        return false;
    }

private:
    static constexpr std::size_t hugePage = std::size_t(2) << 20;
};

template <typename T> using BigVector = std::vector<T, BigAllocator<T>>;

} // namespace corvane
