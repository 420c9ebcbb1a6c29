#include "transfer/TransferValue.h"

#include <cstdio>

#include "dictionary/ValueText.h"
#include "platform/TextCase.h"

namespace tarvo {

namespace {

std::string Printf(const char* format, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::optional<std::string> TransferValue::FormatByType(std::string_view dataType, uint32_t raw) {
    bool isUnsigned = ValueText::IsUnsignedType(dataType);
    switch (ValueText::TypeWidth(dataType)) {
        case 8:
            return isUnsigned ? std::to_string(raw & 0xFF)
                              : std::to_string(static_cast<int8_t>(raw & 0xFF));
        case 16:
            return isUnsigned ? std::to_string(raw & 0xFFFF)
                              : std::to_string(static_cast<int16_t>(raw & 0xFFFF));
        case 32:
            return isUnsigned ? std::to_string(raw) : std::to_string(static_cast<int32_t>(raw));
        default:
            return std::nullopt;
    }
}

std::optional<std::string> TransferValue::FormatBySize(uint32_t sizeBits, uint32_t raw) {
    switch (sizeBits) {
        case 8:
            return Printf("0x%02x", raw & 0xFF);
        case 16:
            return Printf("0x%04x", raw & 0xFFFF);
        case 32:
            return Printf("0x%08x", raw);
        default:
            return std::nullopt;
    }
}

std::optional<std::string> TransferValue::Format(const DictionaryEntry* entry, ObjectWord word,
                                                 uint32_t raw) {
    return entry != nullptr ? FormatByType(entry->dataType, raw)
                            : FormatBySize(word.SizeBits(), raw);
}

std::string TransferValue::AbortText(uint32_t code) {
    return Printf("0x%08x", code);
}

std::optional<uint32_t> TransferValue::ParseLoadValue(std::string_view text, uint32_t sizeBits) {
    if (sizeBits != 8 && sizeBits != 16 && sizeBits != 32) {
        return std::nullopt;
    }
    const uint64_t mask = sizeBits == 32 ? 0xFFFFFFFFull : (1ull << sizeBits) - 1;
    text = Trim(text, kBlanks, " \t\r");
    if (text.find('x') != std::string_view::npos) {
        if (text.size() < 3 || text.size() > 10 || text.substr(0, 2) != "0x") {
            return std::nullopt;
        }
        uint64_t value = 0;
        for (char c : text.substr(2)) {
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + static_cast<uint64_t>(digit);
        }
        return value <= mask ? std::optional<uint32_t>(static_cast<uint32_t>(value)) : std::nullopt;
    }
    bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    }
    if (negative) {
        if (magnitude > (mask >> 1) + 1) {
            return std::nullopt;
        }
        return static_cast<uint32_t>(0 - magnitude);
    }
    return magnitude <= mask ? std::optional<uint32_t>(static_cast<uint32_t>(magnitude))
                             : std::nullopt;
}

bool TransferValue::Matches(const DictionaryEntry* entry, ObjectWord word,
                            std::string_view loadText, const std::string& driveText) {
    if (entry != nullptr) {
        return loadText == driveText;
    }
    std::optional<uint32_t> load = ParseLoadValue(loadText, word.SizeBits());
    if (!load) {
        return false;
    }
    std::optional<std::string> loadFormatted = FormatBySize(word.SizeBits(), *load);
    return loadFormatted && *loadFormatted == driveText;
}

}  // namespace tarvo
