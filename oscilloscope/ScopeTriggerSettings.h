#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvo {

class MessageTarget;
class ScopeItemLists;
class ScopeUnits;
struct ScopeRecord;

// The oscilloscope's trigger: the object that triggers a capture and its place in the trigger
// box, the level shown in one of that object's units, and the trigger's part of a record
// file. The form it keeps is the one the view shows.
class ScopeTriggerSettings {
public:
    struct TriggerForm {
        int position = 0;      // in the trigger box; 0 manual
        uint32_t address = 0;  // the object the drive last reported as its trigger
        bool levelEnabled = false;
        std::string level;
        std::vector<std::string> units;
        int unit = -1;
    };

    struct Services {
        ScopeItemLists& lists;
        ScopeUnits& units;
        MessageTarget* owner;  // the window whose reads a unit conversion may need
    };

    ScopeTriggerSettings(TriggerForm& form, Services services);

    // The drive's trigger object (its code, 0 manual): selected in the box, added to it when
    // the box lacks it.
    void SourceReported(uint32_t code);
    void SourceRefused();
    // The drive's level, shown in the selected unit; false when the unit cannot convert it
    // until values it needs have been read (the text then stays as it was).
    bool LevelReported(uint32_t raw);
    // Selects a picked object in the box, adding it when needed; its position, or -1 when it
    // cannot trigger.
    int Pick(uint32_t address);
    // The raw level of a typed text in the selected unit; none for the manual trigger or a
    // text the unit cannot convert back.
    std::optional<uint32_t> LevelRaw(const std::string& text);
    bool SelectUnit(int position);

    void ToRecord(ScopeRecord& record) const;
    void FromRecord(const ScopeRecord& record);

private:
    TriggerForm& form_;
    Services services_;
};

}  // namespace tarvo
