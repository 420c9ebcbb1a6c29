#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo {

// The fixed 4514-byte record of the data file tarvo.dat: ten zero-padded 8-bit text
// fields, no header, no count, no checksum.
class DataFileRecord {
public:
    enum Field {
        kIndex,
        kSubIndex,
        kNameChinese,
        kNameEnglish,
        kDataType,
        kAttribute,
        kHelpChinese,
        kHelpEnglish,
        kUnitSpec,
        kModbusAddress,
        kFieldCount
    };

    static constexpr std::array<size_t, kFieldCount> kWidth = {4, 2,    64,   64,  16,
                                                               8, 2048, 2048, 256, 4};
    static constexpr size_t kSize = 4514;

    static constexpr size_t Offset(Field field) {
        size_t offset = 0;
        for (int f = 0; f < field; ++f) {
            offset += kWidth[f];
        }
        return offset;
    }

    // The texts of a record as stored (8-bit, code page of their column).
    std::array<std::string_view, kFieldCount> fields;

    // Splits the first `available` bytes of a record; a field's text ends at its first
    // zero byte or at the end of the field, and missing bytes read as empty.
    static DataFileRecord Split(const char* bytes, size_t available);

    // Builds the bytes of one record; false (with the field's name in `error`) when a text
    // does not fit its field.
    static bool Encode(const std::array<std::string, kFieldCount>& texts, std::string& out,
                       std::string& error);

    static const char* FieldName(Field field);
};

// The fields fill the record exactly, at the offsets the data file has always had.
static_assert(DataFileRecord::Offset(DataFileRecord::kFieldCount) == DataFileRecord::kSize);
static_assert(DataFileRecord::Offset(DataFileRecord::kNameEnglish) == 70 &&
              DataFileRecord::Offset(DataFileRecord::kHelpChinese) == 158 &&
              DataFileRecord::Offset(DataFileRecord::kModbusAddress) == 4510);

}  // namespace tarvo
