#include "transfer/DcfRows.h"

#include <cstdio>
#include <unordered_map>

#include <cctype>
#include "dictionary/EdsDataType.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/LenientNumber.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

// Objects that command the drive rather than hold a setting: writing back what they read
// at export would switch the drive on, store, restore or reboot it.
bool IsCommand(uint32_t key) {
    uint16_t index = IndexOf(key);
    return key == DriveObject::kControlWord || index == 0x1010 || index == 0x1011 ||
           index == DriveObject::kStoreIndex || key == DriveObject::kReboot;
}

int WidthOf(const std::string& dataType) {
    const EdsDataType* type = EdsDataType::FromOurName(dataType);
    return type != nullptr ? type->width : 0;
}

}  // namespace

bool DcfRows::IsDcf(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return end == ".dcf";
}

std::vector<ObjectListFile::Item> DcfRows::ItemsOf(const ObjectDictionary& dictionary) {
    std::vector<ObjectListFile::Item> items;
    for (int i = 0;; ++i) {
        auto entry = dictionary.EntryAt(i);
        if (!entry) {
            break;
        }
        int width = WidthOf(entry->dataType);
        if (width == 1 || width == 2 || width == 4) {
            ObjectListFile::Item item;
            item.word = (entry->key << 8) | static_cast<uint32_t>(width * 8);
            item.line = i + 1;
            items.push_back(item);
        }
    }
    return items;
}

DcfRows::Import DcfRows::FromContents(const EdsContents& contents, const std::string& fileName) {
    std::unordered_map<uint32_t, const SourceEntry*> byKey;
    for (const SourceEntry& entry : contents.entries) {
        byKey.emplace((ParseHexText(entry.index) << 8) | (ParseHexText(entry.subIndex) & 0xFF),
                      &entry);
    }
    Import import;
    for (const EdsContents::ParameterValue& value : contents.parameterValues) {
        const SourceEntry& entry = *byKey.at(value.key);
        std::string where = fileName + ":" + std::to_string(value.line) + ": " + entry.index + ":" +
                            entry.subIndex + " " + entry.nameEn + ": ";
        int width = WidthOf(entry.dataType);
        if (entry.attribute.find('W') == std::string::npos) {
            import.skipped.push_back(where + "read-only; not written");
            continue;
        }
        if (width == 0) {
            import.skipped.push_back(where + "a text value; not written");
            continue;
        }
        if (IsCommand(value.key)) {
            import.skipped.push_back(where + "a command to the drive, not a setting; not written");
            continue;
        }
        char word[16];
        std::snprintf(word, sizeof word, "%08X",
                      (value.key << 8) | static_cast<uint32_t>(width * 8));
        import.parameterText += std::string(word) + "," + value.text + ",True\r\n";
        ++import.rows;
    }
    return import;
}

}  // namespace tarvo
