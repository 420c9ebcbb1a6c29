#include "drivesim/NonVolatileMemory.h"

#include <cstdio>
#include <sstream>

#include "platform/AtomicFile.h"

namespace tarvo::sim {

bool NonVolatileMemory::Load(std::string& error) {
    values_.clear();
    if (file_.empty()) {
        return true;
    }
    std::string content;
    if (!AtomicFile::Read(file_, content)) {
        return true;  // never stored yet
    }
    std::istringstream lines(content);
    std::string line;
    int number = 0;
    std::map<uint32_t, uint32_t> values;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        unsigned index = 0, subIndex = 0;
        unsigned long value = 0;
        char tail = 0;
        if (std::sscanf(line.c_str(), "%4x:%2x=%lu%c", &index, &subIndex, &value, &tail) != 3 ||
            value > 0xFFFFFFFFul) {
            error = file_ + ":" + std::to_string(number) +
                    ": expected INDEX:SUB=VALUE, for example 2011:01=300";
            return false;
        }
        values[index << 8 | subIndex] = static_cast<uint32_t>(value);
    }
    values_ = std::move(values);
    return true;
}

void NonVolatileMemory::Store(const ObjectTable& table, bool motorParameters) {
    for (const SimObject& object : table.Objects()) {
        if (object.stored && object.IsNumber() && IsMotorParameter(object) == motorParameters) {
            values_[object.key] = object.raw;
        }
    }
}

bool NonVolatileMemory::Save(std::string& error) const {
    if (file_.empty()) {
        return true;
    }
    std::string content = "# non-volatile memory of tarvo-drivesim: INDEX:SUB=raw value\n";
    char line[40];
    for (const auto& [key, value] : values_) {
        std::snprintf(line, sizeof line, "%04X:%02X=%u\n", key >> 8, key & 0xFF, value);
        content += line;
    }
    error = AtomicFile::Write(file_, content);
    return error.empty();
}

void NonVolatileMemory::Apply(ObjectTable& table) const {
    table.RestoreDefaults([](const SimObject&) { return true; });
    for (const auto& [key, value] : values_) {
        SimObject* object = table.Find(key);
        // A value outside the limits of a changed dictionary is not given back.
        if (object != nullptr && object->stored && object->IsNumber()) {
            int64_t number = object->Widen(object->Narrow(value));
            if (number >= object->minimum && number <= object->maximum) {
                object->raw = object->Narrow(value);
            }
        }
    }
}

}  // namespace tarvo::sim
