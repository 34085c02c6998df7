// Vectors for large buffers written in full once they are had (the smooth
// renderer's kept sums and turned copy): resize() leaves new elements
// unset instead of zero-filling them, and the memory is asked of the
// system in large pages where it offers them, since touching a fresh small
// page costs about as much as filling it.
#ifndef LUMIRUN_RENDER_SMOOTH_UNFILLED_VECTOR_H
#define LUMIRUN_RENDER_SMOOTH_UNFILLED_VECTOR_H

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

// `bytes` of memory from operator new (std::bad_alloc when it cannot be
// had), marked for large pages where the system offers them.
void* allocate_unfilled(std::size_t bytes);

template <typename T>
struct unfilled_allocator {
    using value_type = T;
    unfilled_allocator() = default;
    template <typename U>
    unfilled_allocator(const unfilled_allocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(allocate_unfilled(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p); }
    // A new element with no value given is left unset.
    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... A>
    void construct(U* p, A&&... a)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
template <typename T, typename U>
bool operator==(const unfilled_allocator<T>&, const unfilled_allocator<U>&)
{
    return true;
}
template <typename T, typename U>
bool operator!=(const unfilled_allocator<T>&, const unfilled_allocator<U>&)
{
    return false;
}

template <typename T>
using unfilled_vector = std::vector<T, unfilled_allocator<T>>;

#endif
