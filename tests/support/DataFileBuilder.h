#pragma once

#include <string>

#include "dictionary/DataFileRecord.h"

namespace tarvo::test {

// Builds data file records for tests; texts are given as they are stored (8-bit).
struct RecordTexts {
    std::string index = "6040";
    std::string subIndex = "00";
    std::string nameZh = "\xBF\xD8\xD6\xC6\xD7\xD6";  // 控制字 in GBK
    std::string nameEn = "Control word";
    std::string dataType = "UNSIGNED16";
    std::string attribute = "W";
    std::string helpZh;
    std::string helpEn;
    std::string unitSpec;
    std::string modbus = "0000";
};

inline std::string Record(const RecordTexts& t) {
    std::string out, error;
    DataFileRecord::Encode({t.index, t.subIndex, t.nameZh, t.nameEn, t.dataType, t.attribute,
                            t.helpZh, t.helpEn, t.unitSpec, t.modbus},
                           out, error);
    return out;
}

inline std::string Record(const std::string& index, const std::string& subIndex,
                          const std::string& nameEn = "entry") {
    RecordTexts t;
    t.index = index;
    t.subIndex = subIndex;
    t.nameEn = nameEn;
    return Record(t);
}

}  // namespace tarvo::test
