#pragma once

#include "measure/SpeedSample.h"

#include <cassert>
#include <span>
#include <vector>

namespace corvane {

// Fixed-capacity history of samples, each with the time it was taken (seconds on any
// monotonic scale: ticks are 2 to 6 s apart, so ages are read from these, not counted).
// Allocates only at construction; `ordered()` builds a new list, `forEachOrdered` walks the
// samples without allocating.
class RingBuffer {
public:
    explicit RingBuffer(int capacity);

    void append(const SpeedSample& sample, double atSeconds = 0);
    void removeAll();

    int count() const { return count_; }
    int capacity() const { return static_cast<int>(storage_.size()); }
    int head() const { return head_; }

    std::vector<SpeedSample> ordered() const;
    // The samples' times, oldest first, in step with ordered().
    std::vector<double> orderedTimes() const;

    template <typename F> void forEachOrdered(F&& f) const
    {
        forEachSlot([&](size_t slot) { f(storage_[slot]); });
    }

    friend bool operator==(const RingBuffer& a, const RingBuffer& b)
    {
        return a.ordered() == b.ordered() && a.capacity() == b.capacity();
    }

private:
    // The filled slots, oldest first.
    template <typename F> void forEachSlot(F&& f) const
    {
        const int cap = capacity();
        const int start = count_ < cap ? 0 : head_;
        for (int i = 0; i < count_; ++i)
            f(static_cast<size_t>((start + i) % cap));
    }

    std::vector<SpeedSample> storage_;
    std::vector<double> times_;
    int head_ = 0;
    int count_ = 0;
};

// Peaks and means of a list of samples. Peaks start at 0, so an empty list is all zeros.
struct RingStats {
    double peakDown = 0;
    double peakUp = 0;
    double avgDown = 0;
    double avgUp = 0;

    RingStats() = default;
    explicit RingStats(std::span<const SpeedSample> samples);

    friend bool operator==(const RingStats&, const RingStats&) = default;
};

} // namespace corvane
