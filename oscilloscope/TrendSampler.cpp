#include "oscilloscope/TrendSampler.h"

#include <algorithm>
#include <utility>

namespace tarvo {

class TrendSampler::Probe : public MessageTarget {
public:
    Probe(TrendSampler& sampler, uint32_t address) : sampler_(sampler), address_(address) {}

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        if (static_cast<uint32_t>(lParam) != address_) {
            return 0;
        }
        if (message == WM_LINK_VALUE) {
            sampler_.OnValue(address_, static_cast<uint32_t>(wParam));
        } else if (message == WM_LINK_ABORT) {
            sampler_.OnAbort(address_);
        }
        return 0;
    }

private:
    TrendSampler& sampler_;
    uint32_t address_;
};

TrendSampler::TrendSampler(Setup setup)
    : plot_(setup.plot),
      monitor_(std::move(setup.monitor)),
      clock_(std::move(setup.clock)),
      convert_(std::move(setup.convert)) {}

TrendSampler::~TrendSampler() {
    for (auto& [address, probe] : probes_) {
        monitor_.disable(probe.get());
    }
}

int TrendSampler::Add(uint32_t address, const std::string& name, const std::string& unit) {
    int signal = plot_.AddSignal(address, name, unit);
    if (signal < 0) {
        return -1;
    }
    auto& probe = probes_[address];
    if (!probe) {
        probe = std::make_unique<Probe>(*this, address);
        monitor_.registerEntry(probe.get(), address);
    }
    if (sampling_) {
        monitor_.enable(probe.get());
    }
    changed_ = true;
    return signal;
}

void TrendSampler::SetSampling(bool on) {
    if (on == sampling_) {
        return;
    }
    sampling_ = on;
    for (int signal = 0; signal < plot_.SignalCount(); ++signal) {
        MessageTarget* probe = probes_.at(plot_.At(signal).address).get();
        if (on) {
            monitor_.enable(probe);
        } else {
            monitor_.disable(probe);
            Gap(signal, TrendGapReason::Stopped);
        }
    }
}

bool TrendSampler::Remove(int signal) {
    if (signal < 0 || signal >= plot_.SignalCount()) {
        return false;
    }
    auto probe = probes_.find(plot_.At(signal).address);
    if (probe != probes_.end()) {
        monitor_.disable(probe->second.get());
    }
    changed_ = true;
    return plot_.RemoveSignal(signal);
}

void TrendSampler::OnValue(uint32_t address, uint32_t raw) {
    int signal = plot_.Find(address);
    if (signal < 0) {
        return;
    }
    std::optional<double> value = convert_(address, raw);
    if (!value) {
        return;
    }
    plot_.At(signal).ring->Add(clock_(), *value);
    changed_ = true;
}

void TrendSampler::OnAbort(uint32_t address) {
    Gap(plot_.Find(address), TrendGapReason::Abort);
}

void TrendSampler::OnConnectionLost() {
    for (int signal = 0; signal < plot_.SignalCount(); ++signal) {
        Gap(signal, TrendGapReason::ConnectionClosed);
    }
}

void TrendSampler::Gap(int signal, TrendGapReason reason) {
    if (signal < 0 || signal >= plot_.SignalCount()) {
        return;
    }
    TrendRing& ring = *plot_.At(signal).ring;
    // A signal that never had a sample has no line to break.
    if (!ring.Empty() && ring.AddGap(clock_(), reason)) {
        changed_ = true;
    }
}

bool TrendSampler::Tick() {
    double now = clock_();
    plot_.SetNow(now);
    for (int signal = 0; signal < plot_.SignalCount() && sampling_; ++signal) {
        const TrendRing& ring = *plot_.At(signal).ring;
        if (ring.Empty() || ring.Newest().gap) {
            continue;
        }
        // The usual interval from the last ten steps of the history.
        size_t first = ring.Size() > 11 ? ring.Size() - 11 : 0;
        size_t steps = ring.Size() - 1 - first;
        double usual = steps > 0 ? (ring.Newest().time - ring.TimeAt(first)) / steps : 0.0;
        if (now - ring.Newest().time > std::max(kSilence, 10 * usual)) {
            Gap(signal, TrendGapReason::NoAnswer);
        }
    }
    return std::exchange(changed_, false) || !plot_.Paused();
}

}  // namespace tarvo
