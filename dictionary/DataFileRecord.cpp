#include "dictionary/DataFileRecord.h"

#include <cstring>

namespace tarvo {

DataFileRecord DataFileRecord::Split(const char* bytes, size_t available) {
    DataFileRecord record;
    size_t offset = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        size_t width = kWidth[f];
        if (offset < available) {
            size_t present = std::min(width, available - offset);
            const void* zero = std::memchr(bytes + offset, 0, present);
            size_t length =
                zero ? static_cast<size_t>(static_cast<const char*>(zero) - (bytes + offset))
                     : present;
            record.fields[f] = std::string_view(bytes + offset, length);
        }
        offset += width;
    }
    return record;
}

bool DataFileRecord::Encode(const std::array<std::string, kFieldCount>& texts, std::string& out,
                            std::string& error) {
    out.assign(kSize, '\0');
    size_t offset = 0;
    for (int f = 0; f < kFieldCount; ++f) {
        const std::string& text = texts[f];
        if (text.size() > kWidth[f] || text.find('\0') != std::string::npos) {
            error = std::string(FieldName(static_cast<Field>(f))) + " is " +
                    std::to_string(text.size()) + " bytes, the field holds " +
                    std::to_string(kWidth[f]);
            return false;
        }
        std::memcpy(out.data() + offset, text.data(), text.size());
        offset += kWidth[f];
    }
    return true;
}

const char* DataFileRecord::FieldName(Field field) {
    static constexpr const char* kNames[kFieldCount] = {
        "index",     "subindex",     "Chinese name", "English name",     "data type",
        "attribute", "Chinese help", "English help", "unit definitions", "Modbus address"};
    return kNames[field];
}

}  // namespace tarvo
