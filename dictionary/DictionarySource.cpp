#include "dictionary/DictionarySource.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "dictionary/DataFileRecord.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

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

// The JSON reader's message without its "[json.exception.<kind>.<id>] " prefix.
std::string Plain(const std::string& what) {
    if (what.rfind("[json.exception.", 0) == 0) {
        size_t close = what.find("] ");
        if (close != std::string::npos) {
            return what.substr(close + 2);
        }
    }
    return what;
}

// Builds the document like json::parse, but keeps where an error happened (a number out of
// range has no position of its own) and notes the first member name an entry repeats
// (json::parse silently keeps the last).
class LocatingReader : public nlohmann::detail::json_sax_dom_parser<json> {
public:
    explicit LocatingReader(json& document) : json_sax_dom_parser(document, false) {}

    template <class Exception>
    bool parse_error(std::size_t position, const std::string& /*token*/, const Exception& ex) {
        errorPosition = position;
        errorText = Plain(ex.what());
        return false;
    }
    bool start_object(std::size_t elements) {
        if (depth_ == 1) {
            ++entry_;
        }
        names_.emplace_back();
        ++depth_;
        return json_sax_dom_parser::start_object(elements);
    }
    bool end_object() {
        names_.pop_back();
        --depth_;
        return json_sax_dom_parser::end_object();
    }
    bool start_array(std::size_t elements) {
        if (depth_ == 1) {
            ++entry_;
        }
        names_.emplace_back();
        ++depth_;
        return json_sax_dom_parser::start_array(elements);
    }
    bool end_array() {
        names_.pop_back();
        --depth_;
        return json_sax_dom_parser::end_array();
    }
    bool key(std::string& name) {
        if (!names_.back().insert(name).second && repeatedName.empty()) {
            repeatedName = name;
            repeatedIn = entry_;
        }
        return json_sax_dom_parser::key(name);
    }

    size_t errorPosition = 0;
    std::string errorText;
    std::string repeatedName;  // empty when no object repeats a member name
    size_t repeatedIn = 0;     // 1-based entry of the repeated name, 0 outside any entry

private:
    int depth_ = 0;
    size_t entry_ = 0;
    std::vector<std::set<std::string>> names_;
};

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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
    std::string text = it->get<std::string>();
    // A zero byte would end the text early in the data file.
    if (text.find('\0') != std::string::npos) {
        throw std::runtime_error(std::string("field \"") + name + "\" holds a NUL character");
    }
    return text;
}

int64_t Number(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        return 0;
    }
    if (!it->is_number_integer() ||
        (it->is_number_unsigned() && it->get<uint64_t>() > uint64_t{INT64_MAX})) {
        throw std::runtime_error(std::string("field \"") + name +
                                 "\" must be an integer of at most 64 bits");
    }
    return it->get<int64_t>();
}

// "values" or "bits": a list of [number, Chinese name, English name], each number once.
std::vector<BilingualName> Names(const json& object, const char* name) {
    std::vector<BilingualName> names;
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        return names;
    }
    const std::string field = std::string("field \"") + name + "\"";
    if (!it->is_array()) {
        throw std::runtime_error(field + " must be a list of [number, Chinese, English]");
    }
    const bool bits = std::string(name) == "bits";
    for (const json& item : *it) {
        if (!item.is_array() || item.size() != 3 || !item[0].is_number_integer() ||
            !item[1].is_string() || !item[2].is_string()) {
            throw std::runtime_error(field + " must be a list of [number, Chinese, English]");
        }
        if (item[0].is_number_unsigned() && item[0].get<uint64_t>() > uint64_t{INT64_MAX}) {
            throw std::runtime_error(field + " holds a number of more than 64 bits");
        }
        BilingualName entry{item[0].get<int64_t>(), item[1].get<std::string>(),
                            item[2].get<std::string>()};
        if (bits && (entry.value < 0 || entry.value > 31)) {
            throw std::runtime_error(field + ": bit " + std::to_string(entry.value) +
                                     " is not one of 0 to 31");
        }
        if (entry.zh.empty() || entry.en.empty() ||
            (entry.zh + entry.en).find('\0') != std::string::npos) {
            throw std::runtime_error(field + ": " + std::to_string(entry.value) +
                                     " needs a Chinese and an English name");
        }
        for (const BilingualName& before : names) {
            if (before.value == entry.value) {
                throw std::runtime_error(field + ": " + std::to_string(entry.value) +
                                         " is named twice");
            }
        }
        names.push_back(std::move(entry));
    }
    return names;
}

nlohmann::ordered_json NamesJson(const std::vector<BilingualName>& names) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const BilingualName& name : names) {
        list.push_back({name.value, name.zh, name.en});
    }
    return list;
}

// Entries without a number of their own: texts and the oscilloscope's sample record.
bool IsNumber(const SourceEntry& entry) {
    return entry.dataType != "VISIBLE STRING" && entry.dataType != "DOMAIN";
}

// A number entry whose source gives no "min"/"max" has no range (not one of 0 to 0); an
// entry filled in by code has one when it sets either end.
bool HasRange(const SourceEntry& entry) {
    return entry.hasRange || entry.minimum != 0 || entry.maximum != 0;
}

bool HasDefault(const SourceEntry& entry) {
    return entry.hasDefault || entry.defaultValue != 0;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
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
    LocatingReader reader(document);
    bool parsed = false;
    try {
        parsed = json::sax_parse(text, &reader);
    } catch (const json::exception& e) {
        // Only a document too large for memory gets here.
        reader.errorText = Plain(e.what());
    }
    if (!parsed) {
        error = fileName + ":" + std::to_string(LineOf(text, reader.errorPosition)) + ": " +
                reader.errorText;
        return false;
    }
    if (!document.is_array()) {
        error = fileName + ":1: the dictionary source must be a JSON array of entries";
        return false;
    }
    std::vector<int> lines = ElementLines(text);
    if (!reader.repeatedName.empty()) {
        size_t entry = reader.repeatedIn;
        int line = entry > 0 && entry <= lines.size() ? lines[entry - 1] : 1;
        error = fileName + ":" + std::to_string(line) + ": " +
                (entry > 0 ? "entry " + std::to_string(entry) + ": " : std::string()) + "field \"" +
                reader.repeatedName + "\" is given twice";
        return false;
    }
    std::map<std::string, int> seen;  // "index:subIndex" -> line of its entry
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
            // Index 0 ends the dictionary in the data file: nothing after it would load.
            if (entry.index == "0000") {
                throw std::runtime_error("index 0000 is not allowed (it ends the data file)");
            }
            std::string key = Upper(entry.index) + ":" + Upper(entry.subIndex);
            if (auto [at, added] = seen.emplace(key, line); !added) {
                throw std::runtime_error(key + " is already defined on line " +
                                         std::to_string(at->second) +
                                         " (only the first would be found)");
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
            // Both languages read these fields, each in its own code page.
            for (const auto* field : {&entry.dataType, &entry.attribute, &entry.unitSpec}) {
                if (!IsAscii(*field)) {
                    throw std::runtime_error("dataType, attribute and unitSpec must be ASCII");
                }
            }
            auto def = object.find("default");
            if (def != object.end() && def->is_string()) {
                entry.defaultText = def->get<std::string>();
            } else {
                entry.defaultValue = Number(object, "default");
            }
            entry.hasDefault = def != object.end() && !def->is_null();
            entry.minimum = Number(object, "min");
            entry.maximum = Number(object, "max");
            entry.hasRange = object.contains("min") && object.contains("max") &&
                             !object["min"].is_null() && !object["max"].is_null();
            if (entry.hasRange && entry.minimum > entry.maximum) {
                throw std::runtime_error("min is above max");
            }
            entry.values = Names(object, "values");
            entry.bits = Names(object, "bits");
            entries.push_back(std::move(entry));
        } catch (const std::exception& e) {
            error = fileName + ":" + std::to_string(line) + ": entry " + std::to_string(i + 1) +
                    ": " + e.what();
            return false;
        }
    }
    return true;
}

std::string DictionarySource::Format(const std::vector<SourceEntry>& entries) {
    std::string text = "[\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const SourceEntry& e = entries[i];
        nlohmann::ordered_json line = {{"index", e.index},       {"subIndex", e.subIndex},
                                       {"nameZh", e.nameZh},     {"nameEn", e.nameEn},
                                       {"dataType", e.dataType}, {"attribute", e.attribute},
                                       {"helpZh", e.helpZh},     {"helpEn", e.helpEn},
                                       {"unitSpec", e.unitSpec}, {"modbus", e.modbus}};
        if (e.dataType == "VISIBLE STRING") {
            line["default"] = e.defaultText;
        } else if (!IsNumber(e) || HasDefault(e)) {
            line["default"] = e.defaultValue;
        }
        if (!IsNumber(e) || HasRange(e)) {
            line["min"] = e.minimum;
            line["max"] = e.maximum;
        }
        if (!e.values.empty()) {
            line["values"] = NamesJson(e.values);
        }
        if (!e.bits.empty()) {
            line["bits"] = NamesJson(e.bits);
        }
        text += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        text += i + 1 < entries.size() ? ",\n" : "\n";
    }
    return text + "]\n";
}

std::vector<FactsRecord> DictionarySource::Facts(const std::vector<SourceEntry>& entries) {
    std::vector<FactsRecord> records;
    records.reserve(entries.size());
    for (const SourceEntry& e : entries) {
        FactsRecord record;
        record.key = static_cast<uint32_t>(std::stoul(e.index, nullptr, 16) * 256 +
                                           std::stoul(e.subIndex, nullptr, 16));
        // A text has no range; its default is the text, which the facts do not carry.
        if (IsNumber(e) && HasRange(e)) {
            record.minimum = e.minimum;
            record.maximum = e.maximum;
        }
        // Only a setting has a factory default to return to: a measured or constant value
        // (read-only) would be marked as differing whenever the drive runs.
        if (IsNumber(e) && HasDefault(e) && e.attribute.find('W') != std::string::npos) {
            record.factoryDefault = e.defaultValue;
        }
        record.stored = e.attribute.find('S') != std::string::npos;
        record.values = e.values;
        record.bits = e.bits;
        records.push_back(std::move(record));
    }
    return records;
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
