#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "panels/ioerror/IoPanelLink.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

class MessageTarget;

// The error control panel without its widgets: 32 error state lamps (2601h, 2602h), 32
// boxes of the error control words (2600h:01h, 02h), the error names and a read sequence
// of four steps. Its monitor entries stay on for the whole run.
class RealtimeErrorModel {
public:
    static constexpr int kBits = 32;

    struct Setup {
        IoPanelLink link;
        MessageTarget* window = nullptr;
        std::string namesPath;  // <program folder>/sys/RealTimeError.ini
        bool chinese = false;
    };

    explicit RealtimeErrorModel(Setup setup) : setup_(std::move(setup)) {}

    // Registers the four monitor entries, loads the names and starts the read sequence.
    void Create();
    void OnLinkValue(uint32_t raw, uint32_t key);
    // The user ticked or cleared the box of an overall bit (0..31). The group's word with
    // that bit changed is written; before the group's word is known, the click waits for it.
    void ClickBox(int bit, bool ticked);

    bool BoxTicked(int bit) const;
    bool LampOn(int bit) const { return (stateBits_ >> bit & 1u) != 0; }
    const std::string& Name(int bit) const { return names_[bit]; }
    // What is wrong with the names file, or empty; set by Create.
    const std::string& NamesProblem() const { return namesProblem_; }
    bool WordKnown(int group) const { return groups_[group].known; }
    int ReadStep() const { return readStep_; }

private:
    struct ControlGroup {
        uint32_t word = 0;
        bool known = false;
        // Clicks made before the word arrived, applied to it once it does.
        uint32_t pendingSet = 0;
        uint32_t pendingClear = 0;
    };

    void LoadNames();
    void TakeReadStep();
    static uint32_t GroupKey(int group) {
        return group == 0 ? DriveObject::kErrorControlLow : DriveObject::kErrorControlHigh;
    }

    Setup setup_;
    std::array<std::string, kBits> names_;
    std::string namesProblem_;
    std::array<ControlGroup, 2> groups_;
    uint32_t stateBits_ = 0;
    int readStep_ = 0;
};

}  // namespace tarvo
