#include "support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local bool armed = false;
thread_local long allocations = 0;

void count()
{
    if (armed)
        ++allocations;
}
} // namespace

extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);

    void* malloc (std::size_t size)
    {
        count();
        return __libc_malloc (size);
    }

    void* calloc (std::size_t n, std::size_t size)
    {
        count();
        return __libc_calloc (n, size);
    }

    void* realloc (void* p, std::size_t size)
    {
        count();
        return __libc_realloc (p, size);
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size)
    {
        count();
        return __libc_memalign (alignment, size);
    }
}

namespace
{
void* allocate (std::size_t size)
{
    count();

    if (void* p = __libc_malloc (size != 0 ? size : 1))
        return p;

    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    count();

    if (void* p = __libc_memalign ((std::size_t)alignment, size != 0 ? size : 1))
        return p;

    throw std::bad_alloc();
}
} // namespace

void* operator new (std::size_t size)
{
    return allocate (size);
}

void* operator new[] (std::size_t size)
{
    return allocate (size);
}

void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    count();
    return __libc_malloc (size != 0 ? size : 1);
}

void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    count();
    return __libc_malloc (size != 0 ? size : 1);
}

void* operator new (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}

void* operator new[] (std::size_t size, std::align_val_t alignment)
{
    return allocateAligned (size, alignment);
}

void operator delete (void* p) noexcept
{
    std::free (p);
}

void operator delete[] (void* p) noexcept
{
    std::free (p);
}

void operator delete (void* p, std::size_t) noexcept
{
    std::free (p);
}

void operator delete[] (void* p, std::size_t) noexcept
{
    std::free (p);
}

void operator delete (void* p, std::align_val_t) noexcept
{
    std::free (p);
}

void operator delete[] (void* p, std::align_val_t) noexcept
{
    std::free (p);
}

void operator delete (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
}

void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept
{
    std::free (p);
}

AllocationCheck::AllocationCheck()
{
    allocations = 0;
    armed = true;
}

AllocationCheck::~AllocationCheck()
{
    armed = false;
}

long AllocationCheck::count() const
{
    return allocations;
}
