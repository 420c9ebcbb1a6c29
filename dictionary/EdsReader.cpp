#include "dictionary/EdsReader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/EdsDataType.h"
#include "dictionary/EdsDocument.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

constexpr const char* kLists[] = {"MandatoryObjects", "OptionalObjects", "ManufacturerObjects"};
constexpr size_t kNameField = 64;  // the data file's name columns

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

bool IsHexText(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The keys of one variable: its own section's, or an array's shared ones when the array
// is written compactly.
struct Variable {
    Variable(uint16_t i, uint8_t sub, std::string l, std::string n, const EdsSection* s)
        : index(i), subIndex(sub), label(std::move(l)), name(std::move(n)), section(s) {}
    uint16_t index = 0;
    uint8_t subIndex = 0;
    std::string label;  // "6040" or "1018sub2" for messages
    std::string name;
    const EdsSection* section = nullptr;
    const EdsKey* defaultValue = nullptr;
    const EdsKey* parameterValue = nullptr;
    std::string compactDefault;  // the default of a compact array's sub-index 0
};

class Reader {
public:
    Reader(const EdsDocument& document, const EdsReader::Options& options, EdsContents& contents)
        : doc_(document), options_(options), out_(contents) {}

    void Run() {
        for (const char* required : {"FileInfo", "DeviceInfo", "MandatoryObjects"}) {
            if (doc_.Find(required) == nullptr) {
                throw Refusal(doc_.FileName() + ": missing section [" + required +
                              "]; this is no EDS");
            }
        }
        std::map<uint16_t, int> listed;  // index -> line of its list key
        for (const char* list : kLists) {
            ReadList(list, listed);
        }
        CollectSubSections();
        ReadCommissioning();
        for (const auto& [index, line] : listed) {
            ReadObject(index, line);
        }
        if (usedNodeId_) {
            out_.notes.push_back("$NODEID taken as " + std::to_string(options_.nodeId));
        }
    }

private:
    [[noreturn]] void Fail(int line, const std::string& why) const {
        throw Refusal(doc_.Where(line) + why);
    }

    int64_t Number(const EdsKey& key) {
        int64_t value = 0;
        std::string why;
        if (!EdsNumber::Parse(key.value, options_.nodeId, value, why)) {
            Fail(key.line, key.name + ": " + why);
        }
        if (Lower(key.value).find("$nodeid") != std::string::npos) {
            usedNodeId_ = true;
        }
        return value;
    }

    const EdsKey& Required(const EdsSection& section, const char* name) const {
        const EdsKey* key = section.Find(name);
        if (key == nullptr) {
            Fail(section.line, "[" + section.name + "] has no " + name);
        }
        return *key;
    }

    void ReadList(const char* name, std::map<uint16_t, int>& listed) {
        const EdsSection* section = doc_.Find(name);
        if (section == nullptr) {
            return;
        }
        int64_t count = Number(Required(*section, "SupportedObjects"));
        if (count < 0 || count > 0xFFFF) {
            Fail(section->line, "SupportedObjects is out of range");
        }
        if (static_cast<size_t>(count) + 1 != section->keys.size()) {
            Fail(section->Find("SupportedObjects")->line,
                 "SupportedObjects=" + std::to_string(count) + " but [" + section->name +
                     "] lists " + std::to_string(section->keys.size() - 1) + " objects");
        }
        for (int64_t k = 1; k <= count; ++k) {
            const EdsKey* key = section->Find(std::to_string(k));
            if (key == nullptr) {
                Fail(section->line, "[" + section->name + "] has no key " + std::to_string(k));
            }
            int64_t index = Number(*key);
            if (index <= 0 || index > 0xFFFF) {
                Fail(key->line, "object index " + key->value + " is out of range");
            }
            auto [at, added] = listed.emplace(static_cast<uint16_t>(index), key->line);
            if (!added) {
                Fail(key->line, "object " + Hex(static_cast<uint32_t>(index), 4) +
                                    " is already listed on line " + std::to_string(at->second));
            }
        }
    }

    // Sections "<index>sub<hex>", "<index>Name" and "<index>Value" by index.
    void CollectSubSections() {
        for (const EdsSection& section : doc_.Sections()) {
            const std::string& name = section.name;
            if (name.size() < 5 || !IsHexText(std::string_view(name).substr(0, 4))) {
                continue;
            }
            auto index = static_cast<uint16_t>(std::stoul(name.substr(0, 4), nullptr, 16));
            std::string rest = Lower(name.substr(4));
            if (rest.rfind("sub", 0) == 0 && rest.size() > 3) {
                std::string digits = rest.substr(3);
                if (!IsHexText(digits) || digits.size() > 2) {
                    Fail(section.line, "[" + name + "] names no sub-index 0-FF");
                }
                auto sub = static_cast<uint8_t>(std::stoul(digits, nullptr, 16));
                auto [at, added] = subs_[index].emplace(sub, &section);
                if (!added) {
                    Fail(section.line, "[" + name + "] repeats [" + at->second->name +
                                           "] on line " + std::to_string(at->second->line));
                }
            } else if (rest == "name") {
                names_[index] = &section;
            } else if (rest == "value") {
                values_[index] = &section;
            }
        }
    }

    void ReadCommissioning() {
        const EdsSection* section = doc_.Find("DeviceComissioning");
        if (section == nullptr) {
            return;
        }
        if (const EdsKey* key = section->Find("NodeID")) {
            int64_t node = Number(*key);
            if (node < 1 || node > 127) {
                Fail(key->line, "NodeID " + key->value + " is not 1-127");
            }
            out_.nodeId = static_cast<int>(node);
        }
        if (const EdsKey* key = section->Find("Baudrate")) {
            int64_t rate = Number(*key);
            if (rate < 0 || rate > 1000) {
                Fail(key->line, "Baudrate " + key->value + " is no rate in kbit/s");
            }
            out_.baudRateKbit = static_cast<uint32_t>(rate);
        }
        if (const EdsKey* key = section->Find("NodeName")) {
            out_.nodeName = key->value;
        }
    }

    int ObjectType(const EdsSection& section) {
        const EdsKey* key = section.Find("ObjectType");
        return key == nullptr ? 7 : static_cast<int>(Number(*key));
    }

    void ReadObject(uint16_t index, int listLine) {
        std::string label = Hex(index, 4);
        const EdsSection* section = doc_.Find(label);
        if (section == nullptr) {
            Fail(listLine, "object " + label + " is listed but has no section [" + label + "]");
        }
        std::string name = Required(*section, "ParameterName").value;
        int type = ObjectType(*section);
        if (type == 7) {
            Variable var(index, 0, label, name, section);
            ReadVariable(var);
            return;
        }
        if (type != 8 && type != 9) {
            static const std::map<int, const char*> kKinds = {
                {0, "NULL"}, {2, "DOMAIN"}, {5, "DEFTYPE"}, {6, "DEFSTRUCT"}};
            auto kind = kKinds.find(type);
            if (kind == kKinds.end()) {
                Fail(section->Find("ObjectType")->line,
                     "ObjectType " + section->Find("ObjectType")->value +
                         " is none of VAR (0x7), ARRAY (0x8), RECORD (0x9), DOMAIN (0x2)");
            }
            LeaveOut(section->line, label, name,
                     std::string("object type ") + kind->second + " holds no value we read");
            return;
        }
        const EdsKey* compact = section->Find("CompactSubObj");
        if (compact != nullptr && Number(*compact) != 0) {
            ReadCompact(index, *section, *compact, name);
            return;
        }
        const EdsKey& subNumber = Required(*section, "SubNumber");
        int64_t count = Number(subNumber);
        auto subs = subs_.find(index);
        size_t present = subs == subs_.end() ? 0 : subs->second.size();
        if (count < 0 || static_cast<size_t>(count) != present) {
            Fail(subNumber.line, "SubNumber=" + subNumber.value + " but [" + label + "] has " +
                                     std::to_string(present) + " sub-object sections");
        }
        if (present == 0) {
            return;
        }
        for (const auto& [sub, subSection] : subs->second) {
            if (ObjectType(*subSection) != 7) {
                Fail(subSection->line, "a sub-object must be a VAR (ObjectType 0x7)");
            }
            Variable var(index, sub, label + "sub" + Hex(sub, 1),
                         Required(*subSection, "ParameterName").value, subSection);
            ReadVariable(var);
        }
    }

    // An array whose sub-objects 1..n share the object's keys; names may come from
    // [<index>Name] and a DCF's values from [<index>Value].
    void ReadCompact(uint16_t index, const EdsSection& section, const EdsKey& compact,
                     const std::string& name) {
        int64_t count = Number(compact);
        if (count < 1 || count > 254) {
            Fail(compact.line, "CompactSubObj " + compact.value + " is not 1-254");
        }
        std::string label = Hex(index, 4);
        static const EdsSection kCount = {
            "", 0, {{"DataType", "0x0005", 0}, {"AccessType", "ro", 0}, {"PDOMapping", "0", 0}}};
        Variable zero(index, 0, label + "sub0", "NrOfObjects", &kCount);
        zero.compactDefault = std::to_string(count);
        ReadVariable(zero, section.line);
        const EdsSection* names = names_.count(index) ? names_[index] : nullptr;
        const EdsSection* values = values_.count(index) ? values_[index] : nullptr;
        for (int sub = 1; sub <= count; ++sub) {
            Variable var(index, static_cast<uint8_t>(sub), label + "sub" + Hex(sub, 1),
                         name + " " + std::to_string(sub), &section);
            if (names != nullptr) {
                if (const EdsKey* given = names->Find(std::to_string(sub))) {
                    var.name = given->value;
                }
            }
            if (values != nullptr) {
                var.parameterValue = values->Find(std::to_string(sub));
            }
            var.defaultValue = section.Find("DefaultValue");
            ReadVariable(var, section.line, true);
        }
    }

    void LeaveOut(int line, const std::string& label, const std::string& name,
                  const std::string& why) {
        out_.leftOut.push_back(doc_.Where(line) + label + " \"" + name + "\": " + why +
                               "; left out");
    }

    // A number of a key fitted to the type: a signed type also takes the bit pattern
    // ("0xFFFFFFFF" for -1), as EDS files often write it.
    int64_t Fitted(const EdsKey& key, const EdsDataType& type) {
        int64_t value = Number(key);
        if (type.isSigned && value > type.maximum && type.width < 8 &&
            value < (int64_t{1} << (8 * type.width))) {
            value -= int64_t{1} << (8 * type.width);
        }
        if (value < type.minimum || value > type.maximum) {
            Fail(key.line, key.name + " " + key.value + " does not fit " + type.edsName);
        }
        return value;
    }

    void ReadVariable(Variable& var, int line = 0, bool compact = false) {
        const EdsSection& s = *var.section;
        if (line == 0) {
            line = s.line;
        }
        const EdsKey& typeKey = Required(s, "DataType");
        int64_t typeNumber = Number(typeKey);
        const EdsDataType* type = typeNumber >= 0 && typeNumber <= 0xFFFF
                                      ? EdsDataType::FromNumber(static_cast<uint32_t>(typeNumber))
                                      : nullptr;
        if (type == nullptr || type->ourName == nullptr) {
            LeaveOut(line, var.label, var.name,
                     type == nullptr ? "data type " + typeKey.value + " is no CiA 301 basic type"
                                     : std::string(type->edsName) + " is not held by our values");
            return;
        }
        std::string access = Lower(Required(s, "AccessType").value);
        static const char* kAccess[] = {"ro", "wo", "rw", "rwr", "rww", "const"};
        if (std::find_if(std::begin(kAccess), std::end(kAccess),
                         [&](const char* a) { return access == a; }) == std::end(kAccess)) {
            Fail(s.Find("AccessType")->line, "AccessType \"" + s.Find("AccessType")->value +
                                                 "\" is none of ro, wo, rw, rwr, rww, const");
        }
        bool writable = access != "ro" && access != "const";
        if (access == "wo") {
            out_.notes.push_back(doc_.Where(line) + var.label +
                                 " is write-only; it is read as read-write");
        }
        bool mappable = false;
        if (const EdsKey* mapping = s.Find("PDOMapping")) {
            int64_t flag = Number(*mapping);
            if (flag != 0 && flag != 1) {
                Fail(mapping->line, "PDOMapping must be 0 or 1");
            }
            mappable = flag == 1;
        }
        SourceEntry entry;
        entry.index = Hex(var.index, 4);
        entry.subIndex = Hex(var.subIndex, 2);
        entry.nameEn = FitName(var.name, line, var.label);
        entry.nameZh = entry.nameEn;
        entry.dataType = type->ourName;
        entry.attribute = std::string(writable ? "W" : mappable ? "L" : "") + (mappable ? "M" : "");
        entry.modbus = "0000";
        entry.line = line;
        const EdsKey* defaultKey = compact ? var.defaultValue : s.Find("DefaultValue");
        if (type->width == 0) {
            entry.defaultText = defaultKey != nullptr ? defaultKey->value : std::string();
        } else {
            entry.minimum = type->minimum;
            entry.maximum = type->maximum;
            if (const EdsKey* low = s.Find("LowLimit"); low != nullptr && !low->value.empty()) {
                entry.minimum = Fitted(*low, *type);
            }
            if (const EdsKey* high = s.Find("HighLimit"); high != nullptr && !high->value.empty()) {
                entry.maximum = Fitted(*high, *type);
            }
            if (entry.minimum > entry.maximum) {
                Fail(line, var.label + ": LowLimit is above HighLimit");
            }
            entry.hasRange = true;
            if (!var.compactDefault.empty()) {
                entry.defaultValue = std::stoll(var.compactDefault);
                entry.hasDefault = true;
            } else if (defaultKey != nullptr && !defaultKey->value.empty()) {
                entry.defaultValue = Fitted(*defaultKey, *type);
                entry.hasDefault = true;
            }
        }
        const EdsKey* value = compact ? var.parameterValue : s.Find("ParameterValue");
        if (value != nullptr) {
            std::string text = value->value;
            if (type->width != 0) {
                text = std::to_string(Fitted(*value, *type));
            }
            out_.parameterValues.push_back({MakeKey(var.index, var.subIndex), text, value->line});
        }
        out_.entries.push_back(std::move(entry));
    }

    // A name cut to the data file's columns, at a character boundary, with a note.
    std::string FitName(std::string name, int line, const std::string& label) {
        bool cut = false;
        while (TextCodec::Utf8ToGbk(name).size() > kNameField ||
               TextCodec::Utf8ToWindows1252(name).size() > kNameField) {
            do {
                name.pop_back();
            } while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80);
            if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) {
                name.pop_back();
            }
            cut = true;
        }
        if (cut) {
            out_.notes.push_back(doc_.Where(line) + label + ": the name is cut to \"" + name +
                                 "\" to fit the data file");
        }
        return name;
    }

    const EdsDocument& doc_;
    const EdsReader::Options& options_;
    EdsContents& out_;
    bool usedNodeId_ = false;
    std::map<uint16_t, std::map<uint8_t, const EdsSection*>> subs_;
    std::map<uint16_t, const EdsSection*> names_;
    std::map<uint16_t, const EdsSection*> values_;
};

}  // namespace

bool EdsReader::Read(const EdsDocument& document, const Options& options, EdsContents& contents,
                     std::string& error) {
    contents = EdsContents();
    try {
        Reader(document, options, contents).Run();
    } catch (const Refusal& refusal) {
        error = refusal.what();
        contents = EdsContents();
        return false;
    }
    return true;
}

bool EdsReader::Parse(const std::string& text, const std::string& fileName, const Options& options,
                      EdsContents& contents, std::string& error) {
    EdsDocument document;
    return document.Parse(text, fileName, error) && Read(document, options, contents, error);
}

bool EdsReader::Load(const std::string& path, const Options& options, EdsContents& contents,
                     std::string& error) {
    EdsDocument document;
    return document.Load(path, error) && Read(document, options, contents, error);
}

}  // namespace tarvo
