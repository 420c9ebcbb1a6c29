#include "DictionarySource.h"

#include <nlohmann/json.hpp>

#include "AtomicFile.h"
#include "DataFileRecord.h"
#include "TextCodec.h"

namespace tarvo {

namespace {

using nlohmann::json;

int LineOf(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// Lines on which the objects of the top-level array start, in order.
std::vector<int> ElementLines(const std::string& text) {
    std::vector<int> lines;
    int depth = 0;
    int line = 1;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            ++line;
        } else if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (depth == 1) {
                lines.push_back(line);
            }
            ++depth;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return lines;
}

std::string Text(const json& object, const char* name, bool required) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        if (required) {
            throw std::runtime_error(std::string("missing field \"") + name + "\"");
        }
        return {};
    }
    if (!it->is_string()) {
        throw std::runtime_error(std::string("field \"") + name + "\" must be text");
    }
    return it->get<std::string>();
}

int64_t Number(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        return 0;
    }
    if (!it->is_number_integer()) {
        throw std::runtime_error(std::string("field \"") + name + "\" must be an integer");
    }
    return it->get<int64_t>();
}

bool IsHex(const std::string& text, size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

}  // namespace

bool DictionarySource::Load(const std::string& path, std::vector<SourceEntry>& entries,
                            std::string& error) {
    std::string text;
    if (!AtomicFile::Read(path, text)) {
        error = path + ": cannot be read";
        return false;
    }
    return Parse(text, path, entries, error);
}

bool DictionarySource::Parse(const std::string& text, const std::string& fileName,
                             std::vector<SourceEntry>& entries, std::string& error) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& e) {
        error = fileName + ":" + std::to_string(LineOf(text, e.byte > 0 ? e.byte - 1 : 0)) + ": " +
                e.what();
        return false;
    }
    if (!document.is_array()) {
        error = fileName + ":1: the dictionary source must be a JSON array of entries";
        return false;
    }
    std::vector<int> lines = ElementLines(text);
    entries.clear();
    entries.reserve(document.size());
    for (size_t i = 0; i < document.size(); ++i) {
        int line = i < lines.size() ? lines[i] : 0;
        const json& object = document[i];
        try {
            if (!object.is_object()) {
                throw std::runtime_error("an entry must be a JSON object");
            }
            SourceEntry entry;
            entry.line = line;
            entry.index = Text(object, "index", true);
            entry.subIndex = Text(object, "subIndex", true);
            if (!IsHex(entry.index, 4) || !IsHex(entry.subIndex, 2)) {
                throw std::runtime_error("index must be four and subIndex two hex digits");
            }
            entry.nameZh = Text(object, "nameZh", true);
            entry.nameEn = Text(object, "nameEn", true);
            entry.dataType = Text(object, "dataType", true);
            entry.attribute = Text(object, "attribute", false);
            entry.helpZh = Text(object, "helpZh", false);
            entry.helpEn = Text(object, "helpEn", false);
            entry.unitSpec = Text(object, "unitSpec", false);
            entry.modbus = Text(object, "modbus", false);
            if (entry.modbus.empty()) {
                entry.modbus = "0000";
            }
            if (!IsHex(entry.modbus, 4)) {
                throw std::runtime_error("modbus must be four hex digits");
            }
            auto def = object.find("default");
            if (def != object.end() && def->is_string()) {
                entry.defaultText = def->get<std::string>();
            } else {
                entry.defaultValue = Number(object, "default");
            }
            entry.minimum = Number(object, "min");
            entry.maximum = Number(object, "max");
            entries.push_back(std::move(entry));
        } catch (const std::exception& e) {
            error = fileName + ":" + std::to_string(line) + ": entry " + std::to_string(i + 1) +
                    ": " + e.what();
            return false;
        }
    }
    return true;
}

bool DictionarySource::Encode(const std::vector<SourceEntry>& entries, std::string& bytes,
                              std::string& error, const std::string& fileName) {
    bytes.clear();
    bytes.reserve(entries.size() * DataFileRecord::kSize);
    std::string record;
    for (const SourceEntry& e : entries) {
        std::array<std::string, DataFileRecord::kFieldCount> texts = {
            e.index,
            e.subIndex,
            TextCodec::Utf8ToGbk(e.nameZh),
            TextCodec::Utf8ToWindows1252(e.nameEn),
            e.dataType,
            e.attribute,
            TextCodec::Utf8ToGbk(e.helpZh),
            TextCodec::Utf8ToWindows1252(e.helpEn),
            e.unitSpec,
            e.modbus};
        std::string why;
        if (!DataFileRecord::Encode(texts, record, why)) {
            error = fileName + ":" + std::to_string(e.line) + ": entry " + e.index + ":" +
                    e.subIndex + ": " + why;
            return false;
        }
        bytes += record;
    }
    return true;
}

bool DictionarySource::WriteDataFile(const std::vector<SourceEntry>& entries,
                                     const std::string& path, std::string& error) {
    std::string bytes;
    if (!Encode(entries, bytes, error, path)) {
        return false;
    }
    error = AtomicFile::Write(path, bytes);
    return error.empty();
}

}  // namespace tarvo
