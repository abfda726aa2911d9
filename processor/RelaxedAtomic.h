#pragma once

#include <atomic>

// A value that one thread writes and others read without a lock, for example a reading the
// audio thread updates while the editor's timer copies it. Every access is a relaxed atomic
// load or store: each value on its own is never torn, but a reader of several values may see
// some from one moment and some from the next, which the meter accepts.
//
// Unlike std::atomic it can be copied, so that a structure of such values can be copied in
// one statement (each value is loaded and stored on its own).
template <typename T> class RelaxedAtomic
{
public:
    static_assert (std::atomic<T>::is_always_lock_free, "shared values must not need a lock");

    constexpr RelaxedAtomic (T initial = T()) noexcept : value (initial) {}
    RelaxedAtomic (const RelaxedAtomic& other) noexcept : value (other.load()) {}

    RelaxedAtomic& operator= (const RelaxedAtomic& other) noexcept
    {
        store (other.load());
        return *this;
    }

    RelaxedAtomic& operator= (T newValue) noexcept
    {
        store (newValue);
        return *this;
    }

    operator T() const noexcept { return load(); }

    T load() const noexcept { return value.load (std::memory_order_relaxed); }
    void store (T newValue) noexcept { value.store (newValue, std::memory_order_relaxed); }

private:
    std::atomic<T> value;
};
