#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/DictionaryEntry.h"
#include "transfer/ObjectWord.h"

namespace tarvo {

// The value texts of the parameter files: raw drive values in decimal by the entry's data
// type, in hexadecimal by the object word's size for keys outside the dictionary, and the
// load values read back into the raw value to write.
class TransferValue {
public:
    // "%d" for widths 8 and 16 (signed types sign-extended), "%u" or "%d" for width 32.
    // Nothing when the data type carries no valid width.
    static std::optional<std::string> FormatByType(std::string_view dataType, uint32_t raw);
    // "0x%02x", "0x%04x" or "0x%08x" by the size in bits; nothing for another size.
    static std::optional<std::string> FormatBySize(uint32_t sizeBits, uint32_t raw);
    // The value text of a row: by the entry's type when there is an entry, else by size.
    static std::optional<std::string> Format(const DictionaryEntry* entry, ObjectWord word,
                                             uint32_t raw);
    // An abort code as it stands in the value column: "0x%08x".
    static std::string AbortText(uint32_t code);

    // The raw value of a load text: hexadecimal after "0x" when the text holds an 'x', else
    // decimal with an optional '-'. Nothing when the text is not such a number or does not
    // fit the width (negative values down to the signed minimum); a wrong value must never
    // reach the drive.
    static std::optional<uint32_t> ParseLoadValue(std::string_view text, uint32_t sizeBits);

    // True when the drive's value matches the load text: the texts exactly for a dictionary
    // entry, else both read and formatted by the size.
    static bool Matches(const DictionaryEntry* entry, ObjectWord word, std::string_view loadText,
                        const std::string& driveText);
};

}  // namespace tarvo
