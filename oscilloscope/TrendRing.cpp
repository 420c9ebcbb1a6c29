#include "oscilloscope/TrendRing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvo {

TrendRing::TrendRing(size_t capacity)
    : samples_(std::max<size_t>(capacity, 1)), blocks_((samples_.size() + kBlock - 1) / kBlock) {}

const TrendRing::Block* TrendRing::WholeBlockAt(size_t index) const {
    size_t slot = (start_ + index) % samples_.size();
    if (slot % kBlock != 0 || index + kBlock > size_) {
        return nullptr;
    }
    const Block& block = blocks_[slot / kBlock];
    return block.count == kBlock ? &block : nullptr;
}

bool TrendRing::Push(double time, double value, bool gap, TrendGapReason reason) {
    if (!(time >= 0.0 && time <= kLatestTime)) {
        return false;
    }
    auto milliseconds = static_cast<uint32_t>(std::llround(time * 1000.0));
    if (size_ > 0 && milliseconds < Stored(size_ - 1).milliseconds) {
        return false;
    }
    ++version_;
    TrendStoredSample sample{value, milliseconds, gap, reason};
    size_t capacity = samples_.size();
    size_t slot = (start_ + size_) % capacity;
    samples_[slot] = sample;
    if (size_ < capacity) {
        ++size_;
    } else {
        start_ = (start_ + 1) % capacity;
    }
    Block& block = blocks_[slot / kBlock];
    if (slot % kBlock == 0) {
        block = {std::numeric_limits<double>::infinity(),
                 -std::numeric_limits<double>::infinity(),
                 value,
                 value,
                 milliseconds,
                 0,
                 0};
    }
    block.last = value;
    ++block.count;
    if (gap) {
        ++block.gaps;
    } else {
        block.minimum = std::min(block.minimum, value);
        block.maximum = std::max(block.maximum, value);
    }
    return true;
}

bool TrendRing::Add(double time, double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    return Push(time, value, false, TrendGapReason::NoAnswer);
}

bool TrendRing::AddGap(double time, TrendGapReason reason) {
    if (size_ > 0 && Stored(size_ - 1).gap) {
        return false;
    }
    return Push(time, 0.0, true, reason);
}

void TrendRing::Clear() {
    ++version_;
    start_ = 0;
    size_ = 0;
}

TrendSample TrendRing::At(size_t index) const {
    const TrendStoredSample& stored = Stored(index);
    return {stored.milliseconds * 0.001, stored.value, stored.gap, stored.reason};
}

size_t TrendRing::LowerBound(double time) const {
    size_t low = 0;
    size_t high = size_;
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (TimeAt(middle) < time) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

double TrendRing::Rate(double span) const {
    if (size_ == 0 || span <= 0.0) {
        return 0.0;
    }
    // A history younger than the span: the rate over what it covers.
    span = std::min(span, TimeAt(size_ - 1) - TimeAt(0));
    if (span <= 0.0) {
        return 0.0;
    }
    double from = TimeAt(size_ - 1) - span;
    size_t count = 0;
    for (size_t i = LowerBound(from); i < size_; ++i) {
        if (!Stored(i).gap && TimeAt(i) > from) {
            ++count;
        }
    }
    return static_cast<double>(count) / span;
}

}  // namespace tarvo
