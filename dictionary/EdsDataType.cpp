#include "dictionary/EdsDataType.h"

#include <cctype>
#include <limits>

namespace tarvo {

namespace {

constexpr int64_t kU32 = 0xFFFFFFFFll;
constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();

// One row per CiA 301 type an EDS may name; the rows without our name are left out of a
// dictionary built from an EDS.
constexpr EdsDataType kTypes[] = {
    {0x0001, "BOOLEAN", "UNSIGNED8", 1, false, 0, 1},
    {0x0002, "INTEGER8", "INTEGER8", 1, true, -128, 127},
    {0x0003, "INTEGER16", "INTEGER16", 2, true, -32768, 32767},
    {0x0004, "INTEGER32", "INTEGER32", 4, true, kI32Min, kI32Max},
    {0x0005, "UNSIGNED8", "UNSIGNED8", 1, false, 0, 0xFF},
    {0x0006, "UNSIGNED16", "UNSIGNED16", 2, false, 0, 0xFFFF},
    {0x0007, "UNSIGNED32", "UNSIGNED32", 4, false, 0, kU32},
    {0x0008, "REAL32", nullptr, 4, false, 0, 0},
    {0x0009, "VISIBLE_STRING", "VISIBLE STRING", 0, false, 0, 0},
    {0x000A, "OCTET_STRING", nullptr, 0, false, 0, 0},
    {0x000B, "UNICODE_STRING", nullptr, 0, false, 0, 0},
    {0x000C, "TIME_OF_DAY", nullptr, 6, false, 0, 0},
    {0x000D, "TIME_DIFFERENCE", nullptr, 6, false, 0, 0},
    {0x000F, "DOMAIN", nullptr, 0, false, 0, 0},
    {0x0010, "INTEGER24", nullptr, 3, true, 0, 0},
    {0x0011, "REAL64", nullptr, 8, false, 0, 0},
    {0x0012, "INTEGER40", nullptr, 5, true, 0, 0},
    {0x0013, "INTEGER48", nullptr, 6, true, 0, 0},
    {0x0014, "INTEGER56", nullptr, 7, true, 0, 0},
    {0x0015, "INTEGER64", nullptr, 8, true, 0, 0},
    {0x0016, "UNSIGNED24", nullptr, 3, false, 0, 0},
    {0x0018, "UNSIGNED40", nullptr, 5, false, 0, 0},
    {0x0019, "UNSIGNED48", nullptr, 6, false, 0, 0},
    {0x001A, "UNSIGNED56", nullptr, 7, false, 0, 0},
    {0x001B, "UNSIGNED64", nullptr, 8, false, 0, 0},
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = static_cast<char>(std::toupper(static_cast<unsigned char>(a[i])));
        char y = static_cast<char>(std::toupper(static_cast<unsigned char>(b[i])));
        if (x == '_') {
            x = ' ';
        }
        if (y == '_') {
            y = ' ';
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// One unsigned term: decimal, 0x hexadecimal or 0-led octal.
bool ParseTerm(std::string_view text, int nodeId, int64_t& value) {
    if (SameName(text, "$NODEID")) {
        value = nodeId;
        return true;
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 22) {
        return false;
    }
    uint64_t number = 0;
    for (char c : text) {
        int digit = std::isdigit(static_cast<unsigned char>(c))    ? c - '0'
                    : std::isxdigit(static_cast<unsigned char>(c)) ? std::toupper(c) - 'A' + 10
                                                                   : 99;
        if (digit >= base) {
            return false;
        }
        number = number * base + digit;
        if (number > (uint64_t{1} << 62)) {
            return false;
        }
    }
    value = static_cast<int64_t>(number);
    return true;
}

}  // namespace

const EdsDataType* EdsDataType::FromNumber(uint32_t number) {
    for (const EdsDataType& type : kTypes) {
        if (type.number == number) {
            return &type;
        }
    }
    return nullptr;
}

const EdsDataType* EdsDataType::FromOurName(std::string_view name) {
    for (const EdsDataType& type : kTypes) {
        // BOOLEAN reads as UNSIGNED8; the name belongs to the UNSIGNED8 row.
        if (type.ourName != nullptr && type.number != 0x0001 && SameName(type.ourName, name)) {
            return &type;
        }
    }
    return nullptr;
}

bool EdsNumber::Parse(std::string_view text, int nodeId, int64_t& value, std::string& why) {
    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t') {
            compact += c;
        }
    }
    if (compact.empty()) {
        why = "an empty number";
        return false;
    }
    int64_t total = 0;
    size_t at = 0;
    while (at < compact.size()) {
        int sign = 1;
        if (compact[at] == '+' || compact[at] == '-') {
            sign = compact[at] == '-' ? -1 : 1;
            ++at;
        } else if (at != 0) {
            break;
        }
        size_t end = compact.find_first_of("+-", at);
        std::string_view term = std::string_view(compact).substr(
            at, end == std::string::npos ? std::string::npos : end - at);
        int64_t number = 0;
        if (!ParseTerm(term, nodeId, number)) {
            why = "\"" + std::string(text) + "\" is no number";
            return false;
        }
        total += sign * number;
        if (total > (int64_t{1} << 62) || total < -(int64_t{1} << 62)) {
            why = "\"" + std::string(text) + "\" is too large";
            return false;
        }
        at = end == std::string::npos ? compact.size() : end;
    }
    value = total;
    return true;
}

}  // namespace tarvo
