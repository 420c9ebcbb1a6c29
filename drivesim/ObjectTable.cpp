#include "drivesim/ObjectTable.h"

#include <algorithm>
#include <cctype>

#include "platform/LenientNumber.h"
#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

namespace {

constexpr uint32_t kValueTooHigh = 0x06090031;
constexpr uint32_t kValueTooLow = 0x06090032;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool KindOf(const std::string& dataType, ValueKind& kind, uint8_t& width) {
    std::string type = Upper(dataType);
    struct Known {
        const char* name;
        ValueKind kind;
        uint8_t width;
    };
    static const Known kKnown[] = {
        {"UNSIGNED8", ValueKind::Unsigned, 1},  {"UNSIGNED16", ValueKind::Unsigned, 2},
        {"UNSIGNED32", ValueKind::Unsigned, 4}, {"INTEGER8", ValueKind::Signed, 1},
        {"INTEGER16", ValueKind::Signed, 2},    {"INTEGER32", ValueKind::Signed, 4},
        {"BOOLEAN", ValueKind::Unsigned, 1},    {"VISIBLE STRING", ValueKind::Text, 0},
        {"DOMAIN", ValueKind::Domain, 0},
    };
    for (const Known& known : kKnown) {
        if (type == known.name) {
            kind = known.kind;
            width = known.width;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ObjectTable::Build(const std::vector<SourceEntry>& entries, std::string& warnings,
                        bool limitAbortsTellSide) {
    objects_.clear();
    byKey_.clear();
    objects_.reserve(entries.size());
    for (const SourceEntry& entry : entries) {
        SimObject object;
        object.key = (ParseHexText(entry.index) << 8) | (ParseHexText(entry.subIndex) & 0xFF);
        if (!KindOf(entry.dataType, object.kind, object.width)) {
            warnings += "line " + std::to_string(entry.line) + ": " + entry.index + ":" +
                        entry.subIndex + " has the data type \"" + entry.dataType +
                        "\", which the simulated drive does not hold; left out\n";
            continue;
        }
        if (byKey_.count(object.key) != 0) {
            warnings += "line " + std::to_string(entry.line) + ": " + entry.index + ":" +
                        entry.subIndex + " appears twice; the first one is served\n";
            continue;
        }
        object.writable = entry.attribute.find_first_of("Ww") != std::string::npos;
        object.stored = entry.attribute.find_first_of("Ss") != std::string::npos;
        object.limitAbortsTellSide = limitAbortsTellSide;
        object.defaultValue = entry.defaultValue;
        object.minimum = entry.minimum;
        object.maximum = entry.maximum;
        object.defaultText = entry.defaultText;
        object.text = entry.defaultText;
        object.raw = object.IsNumber() ? object.Narrow(entry.defaultValue) : 0;
        byKey_[object.key] = objects_.size();
        objects_.push_back(std::move(object));
    }
    return !objects_.empty();
}

SimObject* ObjectTable::Find(uint32_t key) {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : &objects_[it->second];
}

const SimObject* ObjectTable::Find(uint32_t key) const {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : &objects_[it->second];
}

uint32_t ObjectTable::CheckWrite(const SimObject& object, int widthBytes, uint32_t data,
                                 uint32_t& raw) {
    if (!object.writable || !object.IsNumber()) {
        return AbortCode::kWriteReadOnly;
    }
    if (widthBytes != object.width) {
        return AbortCode::kWrongLength;
    }
    raw = object.Narrow(data);
    int64_t number = object.Widen(raw);
    if (number < object.minimum || number > object.maximum) {
        if (!object.limitAbortsTellSide) {
            return AbortCode::kValueOutOfRange;
        }
        return number > object.maximum ? kValueTooHigh : kValueTooLow;
    }
    return AbortCode::kNone;
}

void ObjectTable::RestoreDefaults(const std::function<bool(const SimObject&)>& which) {
    for (SimObject& object : objects_) {
        if (which(object)) {
            object.raw = object.IsNumber() ? object.Narrow(object.defaultValue) : 0;
            object.text = object.defaultText;
        }
    }
}

}  // namespace tarvo::sim
