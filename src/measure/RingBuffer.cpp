#include "measure/RingBuffer.h"

#include <algorithm>

namespace corvane {

RingBuffer::RingBuffer(int capacity)
{
    assert(capacity >= 0 && "negative ring capacity");
    storage_.assign(static_cast<size_t>(std::max(capacity, 0)), SpeedSample::zero());
    times_.assign(storage_.size(), 0);
}

void RingBuffer::append(const SpeedSample& sample, double atSeconds)
{
    const int cap = capacity();
    assert(cap > 0 && "append to a ring without slots");
    if (cap == 0)
        return;
    storage_[static_cast<size_t>(head_)] = sample;
    times_[static_cast<size_t>(head_)] = atSeconds;
    head_ = (head_ + 1) % cap;
    count_ = std::min(count_ + 1, cap);
}

void RingBuffer::removeAll()
{
    head_ = 0;
    count_ = 0;
}

std::vector<SpeedSample> RingBuffer::ordered() const
{
    std::vector<SpeedSample> out;
    out.reserve(static_cast<size_t>(count_));
    forEachOrdered([&](const SpeedSample& s) { out.push_back(s); });
    return out;
}

std::vector<double> RingBuffer::orderedTimes() const
{
    std::vector<double> out;
    out.reserve(static_cast<size_t>(count_));
    forEachSlot([&](size_t slot) { out.push_back(times_[slot]); });
    return out;
}

RingStats::RingStats(std::span<const SpeedSample> samples)
{
    double sumDown = 0;
    double sumUp = 0;
    for (const SpeedSample& s : samples) {
        if (s.downMbps >= peakDown)
            peakDown = s.downMbps;
        if (s.upMbps >= peakUp)
            peakUp = s.upMbps;
        sumDown += s.downMbps;
        sumUp += s.upMbps;
    }
    if (!samples.empty()) {
        avgDown = sumDown / static_cast<double>(samples.size());
        avgUp = sumUp / static_cast<double>(samples.size());
    }
}

} // namespace corvane
