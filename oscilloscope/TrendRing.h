#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvo {

// Why a trend signal has no samples for a while: the line is broken there, never drawn flat.
enum class TrendGapReason : uint8_t {
    ConnectionClosed,
    Abort,
    NoAnswer,
    Stopped,  // the trend stopped sampling while its view was closed
};

// One sample of a trend signal: seconds since the trend started and the value in the
// signal's shown unit. A gap is a sample whose `gap` flag is set; it ends the line before it.
struct TrendSample {
    double time = 0.0;
    double value = 0.0;
    bool gap = false;
    TrendGapReason reason = TrendGapReason::NoAnswer;
};

// How the ring stores a sample: whole milliseconds since the start keep it at 16 bytes
// (an hour of eight signals in under 50 MB), enough for samples a few milliseconds apart.
struct TrendStoredSample {
    double value = 0.0;
    uint32_t milliseconds = 0;
    bool gap = false;
    TrendGapReason reason = TrendGapReason::NoAnswer;
};
static_assert(sizeof(TrendStoredSample) == 16);

// The history of one signal in a ring of fixed size allocated once: when it is full the
// oldest sample gives way. Samples are kept in the order they arrived; a sample older than
// the newest is refused, so the times stay ordered for searching.
class TrendRing {
public:
    // Samples are also summed up in blocks of this many (their smallest and largest value),
    // so that a redraw of an hour reads a block where a pixel column holds many.
    static constexpr size_t kBlock = 32;
    // First and last values and the first time are kept too: a redraw then reads the
    // blocks in a row and never the samples they stand for.
    struct Block {
        double minimum = 0.0;
        double maximum = 0.0;
        double first = 0.0;
        double last = 0.0;
        uint32_t milliseconds = 0;  // of the first sample
        uint32_t count = 0;         // samples written since the block's first slot was
        uint32_t gaps = 0;
    };

    // 100 samples a second (more than the monitor walk reaches on one entry) for an hour.
    static constexpr size_t kDefaultCapacity = 360000;

    explicit TrendRing(size_t capacity = kDefaultCapacity);

    // The longest time the ring can hold, in seconds (about 49 days).
    static constexpr double kLatestTime = 4294967.0;

    // False (and nothing kept) when `time` lies before the newest sample's, is negative or
    // beyond kLatestTime.
    bool Add(double time, double value);
    // A gap at `time`; a second gap right after another is not kept (one break is enough).
    bool AddGap(double time, TrendGapReason reason);
    void Clear();

    size_t Size() const { return size_; }
    // Changes whenever a sample is kept or the ring cleared: what was computed from the
    // samples at one version holds as long as it stays.
    uint64_t Version() const { return version_; }
    size_t Capacity() const { return samples_.size(); }
    // 0 is the oldest kept sample.
    TrendSample At(size_t index) const;
    TrendSample Newest() const { return At(size_ - 1); }
    double TimeAt(size_t index) const { return Stored(index).milliseconds * 0.001; }
    const TrendStoredSample& Stored(size_t index) const {
        return samples_[(start_ + index) % samples_.size()];
    }
    // The summary of the kBlock samples from `index` on, when a block of the storage starts
    // there and all its samples are kept; null otherwise.
    const Block* WholeBlockAt(size_t index) const;
    bool Empty() const { return size_ == 0; }
    // The first index whose time is not below `time` (Size() when none).
    size_t LowerBound(double time) const;
    // Samples (not gaps) that arrived in the `span` seconds up to the newest, per second;
    // over the history's own length when that is shorter.
    double Rate(double span) const;
    // Calls visit(milliseconds, value, gap) for the samples first..last-1 in order, walking
    // the storage in at most two straight runs (a redraw reads every sample of the hour).
    template <class Visit>
    void ForEach(size_t first, size_t last, Visit&& visit) const {
        last = last < size_ ? last : size_;
        size_t capacity = samples_.size();
        while (first < last) {
            size_t begin = (start_ + first) % capacity;
            size_t run = std::min(last - first, capacity - begin);
            const TrendStoredSample* sample = samples_.data() + begin;
            for (const TrendStoredSample* end = sample + run; sample != end; ++sample) {
                visit(sample->milliseconds, sample->value, sample->gap);
            }
            first += run;
        }
    }
    // Bytes held by the ring.
    size_t MemoryBytes() const {
        return samples_.capacity() * sizeof(TrendStoredSample) + blocks_.capacity() * sizeof(Block);
    }

private:
    bool Push(double time, double value, bool gap, TrendGapReason reason);

    std::vector<TrendStoredSample> samples_;
    std::vector<Block> blocks_;
    size_t start_ = 0;
    size_t size_ = 0;
    uint64_t version_ = 0;
};

}  // namespace tarvo
