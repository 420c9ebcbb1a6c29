#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/RecordDecoder.h"
#include "oscilloscope/ScopeCapture.h"
#include "oscilloscope/ScopeChannelSettings.h"
#include "oscilloscope/ScopeItemLists.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/ScopeSamples.h"
#include "oscilloscope/ScopeTriggerSettings.h"
#include "platform/MessageTarget.h"

namespace tarvo {

class MessageBox;
class ObjectDictionary;
class ScopeLink;
class ScopeUnits;
class Timer;
struct LinkSwitches;

// The oscilloscope's form without its widgets: the capture settings as the form shows them
// (the drive's, through the capture API, written field by field), the channel and trigger
// choices, the plot's samples and settings, and the record file's content.
// The view shows `form()` and the plot and forwards every user action here.
class DriverOscilloModel : public MessageTarget {
public:
    static constexpr int kChannels = ScopeChannelSettings::kChannels;
    static constexpr int kViewNumber = 18;

    struct Services {
        const ObjectDictionary& dictionary;
        ScopeUnits& units;
        ScopeLink& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        Timer& pollTimer;
        Timer& restartTimer;
        Timer& watchTimer;
    };

    using ChannelForm = ScopeChannelSettings::ChannelForm;

    struct Form {
        int32_t samplePeriod = 0;
        std::string periodText = "0 us";
        int32_t pretrigger = 0;
        int32_t total = 0;
        ScopeTriggerSettings::TriggerForm trigger;
        int edge = 0;
        bool continuous = false;
        std::array<ChannelForm, kChannels> channels;
    };

    // The cursor readout: time and value of each cursor and their difference.
    using Readout = ScopeChannelSettings::Readout;

    explicit DriverOscilloModel(const Services& services);

    // Reads the item lists, takes the link's priority and starts reading the settings.
    void Create(const std::string& iniPath);
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Called after every change of the form (texts, boxes, buttons) and of the plot.
    std::function<void()> onChanged;
    std::function<void()> onPlotChanged;

    const Form& form() const { return form_; }
    const ScopeItemLists& lists() const { return lists_; }
    CurvePlot& plot() { return plot_; }
    const CurvePlot& plot() const { return plot_; }
    const CaptureRun& run() const { return capture_.run(); }
    const ScopeCapture& capture() const { return capture_; }
    // The samples shown: the last decoded record or the imported one.
    const ScopeSamples& Samples() const { return samples_; }
    bool Active() const { return active_; }
    // Why the last action did nothing or what else it changed; empty when there is nothing
    // to say. Shown beside the controls until the next action.
    const std::string& Notice() const { return notice_; }
    // The status field: the notice when there is one, else the capture's status.
    const std::string& StatusText() const;
    const std::array<uint32_t, 6>& Slots() const { return channels_.Slots(); }
    // 0 no pick asked, 1 the trigger box, 2..5 channel 1..4.
    int PickTarget() const { return pickTarget_; }

    // Enter in the fields and the other controls of the settings.
    void EnterPeriod(const std::string& text);
    void EnterPretrigger(const std::string& text);
    void EnterTotal(const std::string& text);
    void EnterTriggerLevel(const std::string& text);
    void SelectTrigger(int position);
    void SelectTriggerUnit(int position);
    void ToggleEdge();
    void SetContinuous(bool on) { form_.continuous = on; }
    void SelectChannelItem(int channel, int position);
    void ClickChannel(int channel, bool checked);
    void SelectChannelUnit(int channel, int position);
    // "..." beside the trigger box (channel 0) or a channel box.
    void BeginPick(int channel);

    // Display settings of a channel.
    void SetAuto(int channel, bool on);
    void SpinScale(int channel, bool up);
    void SpinOffset(int channel, bool up);
    void EnterOffset(int channel, const std::string& text);
    void EnterScale(int channel, const std::string& text);

    void StartOrCancel();
    void Reread();

    // Zoom: the rubber band from anchor to corner, or -1 for the full range.
    bool Zoom(int anchorX, int cornerX);
    void ShowAll();
    // Zooms the time axis by `factor` (below 1 zooms in) around the sample under pixel x.
    bool WheelZoom(int x, double factor);
    // The channel the readout shows: the chosen one, else the first ticked channel with a
    // unit; 0 when there is none.
    int ReadoutChannel(int chosen) const;
    Readout CursorReadout(int channel);
    // Minimum, maximum, mean and peak to peak of the readout's channel in its unit, and the
    // time between the cursors.
    ScopeChannelSettings::Measurements Measure(int channel) const {
        return channels_.Measure(ReadoutChannel(channel), form_.samplePeriod);
    }

    ScopeRecord MakeRecord() const;
    // The legend of a picture of the plot: for each curve shown, its channel, object, unit
    // and scale, as "ch1 Velocity actual value (rpm) 2e1/div".
    std::vector<std::pair<int, std::string>> Legend() const;
    // The samples shown as the table with time and units, the channels in their units.
    std::string TimeTable();
    void ApplyRecord(const ScopeRecord& record);
    RecordLayout Layout() const { return channels_.Layout(); }

private:
    void Reported(ScopeCapture::Sub sub, uint32_t value);
    void Refused(ScopeCapture::Sub sub);
    void Picked(uint32_t key);
    void SelectTriggerPosition(int position);
    void RefreshFields();
    void Decoded();
    void Changed();
    void PlotChanged();
    void WriteCount(const std::string& text, void (ScopeCapture::*write)(uint32_t));

    Services services_;
    ScopeItemLists lists_;
    CurvePlot plot_;
    ScopeCapture capture_;
    Form form_;
    ScopeChannelSettings channels_;
    ScopeTriggerSettings trigger_;
    ScopeSamples samples_;
    bool active_ = false;
    bool triggerChangedByUser_ = false;
    bool triggerLevelPending_ = false;
    int pickTarget_ = 0;
    std::string notice_;
};

}  // namespace tarvo
