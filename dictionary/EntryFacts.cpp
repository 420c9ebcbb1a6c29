#include "dictionary/EntryFacts.h"

#include <algorithm>

namespace tarvo {

namespace {

const ValueName* FindName(const std::vector<ValueName>& names, int64_t value) {
    auto it = std::lower_bound(names.begin(), names.end(), value,
                               [](const ValueName& name, int64_t v) { return name.value < v; });
    return it != names.end() && it->value == value ? &*it : nullptr;
}

}  // namespace

const std::string* EntryFacts::NameOf(int64_t value) const {
    const ValueName* found = FindName(valueNames, value);
    return found != nullptr ? &found->name : nullptr;
}

std::string EntryFacts::CodeText(int64_t value) const {
    const std::string* name = NameOf(value);
    std::string text = std::to_string(value);
    return name != nullptr ? text + " - " + *name : text;
}

std::string EntryFacts::SetBitNames(uint32_t raw) const {
    if (bitNames.empty()) {
        return {};
    }
    std::string text;
    for (int bit = 0; bit < 32; ++bit) {
        if ((raw >> bit & 1u) == 0) {
            continue;
        }
        const ValueName* found = FindName(bitNames, bit);
        if (!text.empty()) {
            text += '\n';
        }
        text += found != nullptr ? found->name : "bit " + std::to_string(bit);
    }
    return text;
}

bool EntryFacts::InRange(int64_t value) const {
    return (!minimum || value >= *minimum) && (!maximum || value <= *maximum);
}

std::string EntryFacts::RangeText() const {
    if (minimum && maximum) {
        return std::to_string(*minimum) + " to " + std::to_string(*maximum);
    }
    if (minimum) {
        return "at least " + std::to_string(*minimum);
    }
    if (maximum) {
        return "at most " + std::to_string(*maximum);
    }
    return {};
}

}  // namespace tarvo
