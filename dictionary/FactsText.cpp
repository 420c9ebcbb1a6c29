#include "dictionary/FactsText.h"

#include <charconv>
#include <map>

namespace tarvo {

namespace {

// The English sentences, for programs and tests without a string table.
const std::map<int, std::string_view>& EnglishTexts() {
    static const std::map<int, std::string_view> texts{
        {FactsText::kOutOfRange, "%1 is outside the range of %2 (%3); nothing was written."},
        {FactsText::kRangeBoth, "%1 to %2"},
        {FactsText::kRangeLow, "at least %1"},
        {FactsText::kRangeHigh, "at most %1"},
        {FactsText::kDefaultLine, "Factory default: %1"},
        {FactsText::kRangeLine, "Range: %1"},
        {FactsText::kValuesHeading, "Values:"},
        {FactsText::kBitsHeading, "Bits:"},
        {FactsText::kMarkDefaults, "Mark Values Not at Factory Default"},
        {FactsText::kValueHeader, "Value"},
        {FactsText::kDiffersLine, "Differs from the factory default (%1)"},
        {FactsText::kReadEarlier, "Read earlier; select the row to read it again"},
        {FactsText::kSetBitsHeading, "Bits set:"},
        {FactsText::kNotConnected, "Not read: no connection"},
    };
    return texts;
}

// The whole text as a decimal integer, or nothing.
std::optional<int64_t> WholeNumber(const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string FactsText::Text(int id, std::string_view a, std::string_view b,
                            std::string_view c) const {
    std::string pattern = lookup_ ? lookup_(id) : std::string();
    if (pattern.empty()) {
        auto found = EnglishTexts().find(id);
        pattern = found != EnglishTexts().end() ? std::string(found->second) : std::string();
    }
    // One pass, so that a replacement holding "%2" is not replaced again.
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '3') {
            std::string_view part = pattern[i + 1] == '1' ? a : pattern[i + 1] == '2' ? b : c;
            text.append(part);
            ++i;
        } else {
            text.push_back(pattern[i]);
        }
    }
    return text;
}

std::string FactsText::Range(const EntryFacts& facts) const {
    if (facts.minimum && facts.maximum) {
        return Text(kRangeBoth, std::to_string(*facts.minimum), std::to_string(*facts.maximum));
    }
    if (facts.minimum) {
        return Text(kRangeLow, std::to_string(*facts.minimum));
    }
    if (facts.maximum) {
        return Text(kRangeHigh, std::to_string(*facts.maximum));
    }
    return {};
}

std::string FactsText::RangeRefusal(const EntryFacts& facts, int64_t raw,
                                    std::string_view shownValue, std::string_view entryName) const {
    if (facts.InRange(raw)) {
        return {};
    }
    std::string value = shownValue.empty() ? std::to_string(raw) : std::string(shownValue);
    return Text(kOutOfRange, value, entryName, Range(facts));
}

std::string FactsText::DiffersLine(const EntryFacts& facts, int64_t raw,
                                   std::string_view shownDefault) const {
    if (!DiffersFromDefault(&facts, raw)) {
        return {};
    }
    std::string shown =
        shownDefault.empty() ? facts.CodeText(*facts.factoryDefault) : std::string(shownDefault);
    return Text(kDiffersLine, shown);
}

std::string FactsText::HelpLines(const EntryFacts& facts) const {
    std::string text;
    auto line = [&text](const std::string& part) {
        if (!text.empty()) {
            text += '\n';
        }
        text += part;
    };
    if (facts.HasRange()) {
        line(Text(kRangeLine, Range(facts)));
    }
    if (facts.factoryDefault) {
        line(Text(kDefaultLine, facts.CodeText(*facts.factoryDefault)));
    }
    auto names = [&](int heading, const std::vector<ValueName>& listed) {
        if (listed.empty()) {
            return;
        }
        line(Text(heading));
        for (const ValueName& name : listed) {
            line("  " + std::to_string(name.value) + " - " + name.name);
        }
    };
    names(kValuesHeading, facts.valueNames);
    names(kBitsHeading, facts.bitNames);
    return text;
}

bool FactsText::ShowsCodeNames(std::string_view unitLabel) {
    return unitLabel == "DEC";
}

bool FactsText::DiffersFromDefault(const EntryFacts* facts, std::optional<int64_t> raw) {
    return facts != nullptr && facts->factoryDefault && raw && *raw != *facts->factoryDefault;
}

std::string FactsText::Shown(const EntryFacts* facts, std::string_view unitLabel,
                             const std::string& valueText) {
    if (facts == nullptr || facts->valueNames.empty() || !ShowsCodeNames(unitLabel)) {
        return valueText;
    }
    // Only a whole number is a code: "????" or a typed "1.5" stays as it is.
    std::optional<int64_t> code = WholeNumber(valueText);
    if (!code || facts->NameOf(*code) == nullptr) {
        return valueText;
    }
    return facts->CodeText(*code);
}

}  // namespace tarvo
