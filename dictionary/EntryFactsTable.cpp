#include "dictionary/EntryFactsTable.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/InputFile.h"

namespace tarvo {

namespace {

using Json = nlohmann::json;

// Thrown inside Parse with what is wrong; Parse turns it into its sentence.
struct BadFacts {
    std::string what;
};

bool ParseEntryName(const std::string& text, uint32_t& key) {
    unsigned index = 0;
    unsigned sub = 0;
    char end = 0;
    if (text.size() != 7 || text[4] != ':' ||
        std::sscanf(text.c_str(), "%4x:%2x%c", &index, &sub, &end) != 2 ||
        text.find_first_not_of("0123456789abcdefABCDEF:") != std::string::npos) {
        return false;
    }
    key = index * 256u + sub;
    return index != 0;
}

std::optional<int64_t> OptionalInteger(const Json& entry, const char* member) {
    auto it = entry.find(member);
    if (it == entry.end()) {
        return std::nullopt;
    }
    if (it->is_number_unsigned()) {
        auto value = it->get<uint64_t>();
        if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            throw BadFacts{std::string("\"") + member + "\" is too large"};
        }
        return static_cast<int64_t>(value);
    }
    if (!it->is_number_integer()) {
        throw BadFacts{std::string("\"") + member + "\" is not a whole number"};
    }
    return it->get<int64_t>();
}

std::string OptionalText(const Json& item, const char* member) {
    auto it = item.find(member);
    if (it == item.end()) {
        return {};
    }
    if (!it->is_string()) {
        throw BadFacts{std::string("\"") + member + "\" is not text"};
    }
    return it->get<std::string>();
}

// Reads "values" or "bits" into names in the language, sorted, each value once.
std::vector<ValueName> ReadNames(const Json& entry, const char* member, const char* valueKey,
                                 int language) {
    std::vector<ValueName> names;
    auto it = entry.find(member);
    if (it == entry.end()) {
        return names;
    }
    if (!it->is_array()) {
        throw BadFacts{std::string("\"") + member + "\" is not a list"};
    }
    for (const Json& item : *it) {
        if (!item.is_object()) {
            throw BadFacts{std::string("an item of \"") + member + "\" is not an object"};
        }
        std::optional<int64_t> value = OptionalInteger(item, valueKey);
        if (!value) {
            throw BadFacts{std::string("an item of \"") + member + "\" lacks \"" + valueKey + "\""};
        }
        if (std::string(valueKey) == "bit" && (*value < 0 || *value > 31)) {
            throw BadFacts{"bit " + std::to_string(*value) + " is not one of 0 to 31"};
        }
        std::string zh = OptionalText(item, "zh");
        std::string en = OptionalText(item, "en");
        std::string name = language == 1 ? (zh.empty() ? en : zh) : (en.empty() ? zh : en);
        if (name.empty()) {
            throw BadFacts{std::string(valueKey) + " " + std::to_string(*value) + " has no name"};
        }
        names.push_back({*value, std::move(name)});
    }
    std::sort(names.begin(), names.end(),
              [](const ValueName& a, const ValueName& b) { return a.value < b.value; });
    auto twice = std::adjacent_find(
        names.begin(), names.end(),
        [](const ValueName& a, const ValueName& b) { return a.value == b.value; });
    if (twice != names.end()) {
        throw BadFacts{std::string(valueKey) + " " + std::to_string(twice->value) +
                       " is named twice"};
    }
    return names;
}

EntryFacts ReadEntry(const Json& entry, int language) {
    EntryFacts facts;
    facts.minimum = OptionalInteger(entry, "min");
    facts.maximum = OptionalInteger(entry, "max");
    facts.factoryDefault = OptionalInteger(entry, "default");
    if (facts.minimum && facts.maximum && *facts.minimum > *facts.maximum) {
        throw BadFacts{"\"min\" is above \"max\""};
    }
    if (auto stored = entry.find("stored"); stored != entry.end()) {
        if (!stored->is_boolean()) {
            throw BadFacts{"\"stored\" is not true or false"};
        }
        facts.stored = stored->get<bool>();
    }
    facts.valueNames = ReadNames(entry, "values", "value", language);
    facts.bitNames = ReadNames(entry, "bits", "bit", language);
    return facts;
}

using OrderedJson = nlohmann::ordered_json;

OrderedJson NamesJson(const std::vector<BilingualName>& names, const char* valueKey) {
    OrderedJson list = OrderedJson::array();
    for (const BilingualName& name : names) {
        list.push_back({{valueKey, name.value}, {"zh", name.zh}, {"en", name.en}});
    }
    return list;
}

}  // namespace

std::string EntryFactsTable::PathBeside(const std::string& dataFile) {
    std::filesystem::path path(dataFile);
    if (path.extension() == ".dat") {
        path.replace_extension();
    }
    return path.string() + ".facts.json";
}

std::string EntryFactsTable::Load(const std::string& path, int language) {
    facts_.clear();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return {};
    }
    std::string text;
    std::string problem = InputFile::Read(path, text, kFileLimit);
    if (!problem.empty()) {
        return problem;
    }
    return Parse(text, language, path);
}

std::string EntryFactsTable::Parse(const std::string& text, int language,
                                   const std::string& fileName) {
    facts_.clear();
    Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded()) {
        return fileName + " is not JSON text";
    }
    auto version = document.is_object() ? document.find("tarvoFacts") : document.end();
    if (!document.is_object() || version == document.end() || !version->is_number_integer() ||
        version->get<int64_t>() != 1) {
        return fileName + " is not a facts file this program reads (\"tarvoFacts\": 1)";
    }
    auto entries = document.find("entries");
    if (entries == document.end() || !entries->is_array()) {
        return fileName + " has no \"entries\" list";
    }
    std::unordered_map<uint32_t, EntryFacts> facts;
    size_t position = 0;
    for (const Json& entry : *entries) {
        ++position;
        std::string where = fileName + ", entry " + std::to_string(position);
        auto name = entry.is_object() ? entry.find("entry") : entry.end();
        uint32_t key = 0;
        if (name == entry.end() || !name->is_string() ||
            !ParseEntryName(name->get<std::string>(), key)) {
            return where + ": \"entry\" is not an index and subindex like \"6060:00\"";
        }
        where = fileName + ", " + name->get<std::string>();
        try {
            if (!facts.try_emplace(key, ReadEntry(entry, language)).second) {
                return where + ": the entry is listed twice";
            }
        } catch (const BadFacts& bad) {
            return where + ": " + bad.what;
        }
    }
    facts_ = std::move(facts);
    return {};
}

const EntryFacts* EntryFactsTable::Find(uint32_t key) const {
    auto it = facts_.find(key);
    return it != facts_.end() ? &it->second : nullptr;
}

std::string EntryFactsTable::Format(const std::vector<FactsRecord>& records) {
    std::string text = "{\"tarvoFacts\": 1, \"entries\": [\n";
    for (size_t i = 0; i < records.size(); ++i) {
        const FactsRecord& record = records[i];
        char name[16];
        std::snprintf(name, sizeof name, "%04X:%02X", record.key >> 8 & 0xFFFFu,
                      record.key & 0xFFu);
        OrderedJson entry = {{"entry", name}};
        if (record.minimum) {
            entry["min"] = *record.minimum;
        }
        if (record.maximum) {
            entry["max"] = *record.maximum;
        }
        if (record.factoryDefault) {
            entry["default"] = *record.factoryDefault;
        }
        if (record.stored) {
            entry["stored"] = true;
        }
        if (!record.values.empty()) {
            entry["values"] = NamesJson(record.values, "value");
        }
        if (!record.bits.empty()) {
            entry["bits"] = NamesJson(record.bits, "bit");
        }
        // One entry a line keeps the file readable and its diffs small.
        text += entry.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
        text += i + 1 < records.size() ? ",\n" : "\n";
    }
    return text + "]}\n";
}

}  // namespace tarvo
