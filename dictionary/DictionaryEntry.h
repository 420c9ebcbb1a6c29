#pragma once

#include <cstdint>
#include <string>

namespace tarvo {

// One parameter of the drive's object dictionary, copied by value wherever it is looked up.
struct DictionaryEntry {
    uint32_t key = 0;  // index * 256 + subIndex; also the ObjectAddress of drive requests
    int32_t index = 0;
    uint8_t subIndex = 0;
    std::string name;
    std::string dataType;
    std::string attribute;  // W writable, L polled while shown, S stored, M PDO-mappable
    std::string help;
    std::string unitSpec;
    uint32_t modbusAddress = 0;

    bool HasAttribute(char letter) const { return attribute.find(letter) != std::string::npos; }
};

constexpr uint32_t MakeKey(uint32_t index, uint32_t subIndex) {
    return (index << 8) + (subIndex & 0xFF);
}

}  // namespace tarvo
