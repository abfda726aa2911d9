#include "LiveFeed.h"

#include <cstring>
#include <type_traits>

static_assert (std::is_trivially_copyable_v<StepRecord>);

void LiveFeed::publish (const StepRecord& step) noexcept
{
    const auto sequence = head.load (std::memory_order_relaxed);
    auto& slot = slots[(size_t)(sequence % capacity)];

    std::uint64_t copy[words]{};
    std::memcpy (copy, &step, sizeof (StepRecord));

    slot.version.store (2 * sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence (std::memory_order_release);
    for (int w = 0; w < words; ++w)
        slot.data[(size_t)w].store (copy[w], std::memory_order_relaxed);
    slot.version.store (2 * sequence + 2, std::memory_order_release);
    head.store (sequence + 1, std::memory_order_release);
}

LiveFeed::Read LiveFeed::read (std::uint64_t sequence, StepRecord& out) const noexcept
{
    if (sequence >= head.load (std::memory_order_acquire))
        return Read::notYet;

    const auto& slot = slots[(size_t)(sequence % capacity)];
    const auto before = slot.version.load (std::memory_order_acquire);
    std::uint64_t copy[words];
    for (int w = 0; w < words; ++w)
        copy[w] = slot.data[(size_t)w].load (std::memory_order_relaxed);
    std::atomic_thread_fence (std::memory_order_acquire);
    const auto after = slot.version.load (std::memory_order_relaxed);

    if (before != 2 * sequence + 2 || after != before)
        return Read::overwritten;
    std::memcpy (&out, copy, sizeof (StepRecord));
    return Read::ok;
}
