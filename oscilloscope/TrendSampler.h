#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "oscilloscope/TrendPlot.h"
#include "platform/MessageTarget.h"

namespace tarvo {

// Feeds a trend from the control link's monitor walk: every signal is a monitored entry of
// a window of its own (the walk offers no way to drop one entry of a window), each value
// that arrives is converted and kept with its arrival time, and whatever breaks the flow
// (a refusal, a lost connection, a walk that brings nothing for too long) is kept as a gap.
class TrendSampler {
public:
    struct Monitor {
        // Registers (window, address) once for the run; 1 when added.
        std::function<int(MessageTarget* window, uint32_t address)> registerEntry;
        std::function<int(MessageTarget* window)> enable;
        std::function<int(MessageTarget* window)> disable;
    };
    struct Setup {
        TrendPlot& plot;
        Monitor monitor;
        // Seconds since the trend started.
        std::function<double()> clock;
        // A raw value in the signal's shown unit; none when it cannot be converted now.
        std::function<std::optional<double>(uint32_t address, uint32_t raw)> convert;
    };

    // A signal that brings nothing for this long (and for ten of its usual intervals) while
    // the connection stands gets a gap: the drive or the walk gave no answer.
    static constexpr double kSilence = 2.0;

    explicit TrendSampler(Setup setup);
    ~TrendSampler();
    TrendSampler(const TrendSampler&) = delete;
    TrendSampler& operator=(const TrendSampler&) = delete;

    // Adds a signal and starts monitoring it; its position, or -1 (present, or eight shown).
    int Add(uint32_t address, const std::string& name, const std::string& unit);
    bool Remove(int signal);
    // Stops or restarts the reads of every signal; a stop breaks each line.
    void SetSampling(bool on);
    bool Sampling() const { return sampling_; }

    // The outcome of a monitored read of one signal's entry.
    void OnValue(uint32_t address, uint32_t raw);
    void OnAbort(uint32_t address);
    // The connection was closed or lost: every signal's line breaks here.
    void OnConnectionLost();
    // Moves the clock on, marking silent signals; true when anything changed since the last
    // call (a redraw is due).
    bool Tick();

private:
    class Probe;
    void Gap(int signal, TrendGapReason reason);

    TrendPlot& plot_;
    Monitor monitor_;
    std::function<double()> clock_;
    std::function<std::optional<double>(uint32_t, uint32_t)> convert_;
    // One window per address ever monitored, kept for the run as the walk keeps its entries.
    std::map<uint32_t, std::unique_ptr<Probe>> probes_;
    bool changed_ = false;
    bool sampling_ = true;
};

}  // namespace tarvo
