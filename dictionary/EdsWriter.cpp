#include "dictionary/EdsWriter.h"

#include <cstdio>
#include <map>

#include "dictionary/EdsDataType.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/LenientNumber.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// EDS files are ASCII: anything else is written as '?', a line end as a space.
std::string Ascii(const std::string& utf8) {
    std::string text = TextCodec::IsValidUtf8(utf8) ? utf8 : std::string();
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if ((c & 0xC0) != 0x80) {
                out += '?';
            }
        } else if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct Item {
    const SourceEntry* entry;
    const EdsDataType* type;
    uint8_t sub;
};

class Output {
public:
    void Section(const std::string& name) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += "[" + name + "]\r\n";
    }
    void Key(const std::string& name, const std::string& value) {
        text += name + "=" + value + "\r\n";
    }
    std::string text;
};

bool IsPdoCommunication(uint32_t index) {
    return (index >= 0x1400 && index <= 0x15FF) || (index >= 0x1800 && index <= 0x19FF);
}

std::string NumberText(const Item& item, int64_t value, bool nodeRelative) {
    // A PDO's COB-ID holds the node ID; written relative to it, the file fits every node.
    if (nodeRelative && item.sub == 1 && (value & 0x7F) == 1) {
        return "$NODEID+0x" + Hex(static_cast<uint32_t>(value - 1), 1);
    }
    if (item.type->isSigned) {
        return std::to_string(value);
    }
    return "0x" + Hex(static_cast<uint32_t>(value), 1);
}

}  // namespace

std::vector<SourceEntry> EdsWriter::EntriesOf(const ObjectDictionary& dictionary) {
    std::vector<SourceEntry> entries;
    for (int i = 0;; ++i) {
        auto entry = dictionary.EntryAt(i);
        if (!entry) {
            break;
        }
        SourceEntry source;
        source.index = Hex(static_cast<uint32_t>(entry->index), 4);
        source.subIndex = Hex(entry->subIndex, 2);
        source.nameEn = entry->name;
        source.nameZh = entry->name;
        source.dataType = entry->dataType;
        source.attribute = entry->attribute;
        source.line = i + 1;
        entries.push_back(std::move(source));
    }
    return entries;
}

bool EdsWriter::Write(const std::vector<SourceEntry>& entries, const Settings& settings,
                      std::string& text, std::string& error) {
    std::map<uint32_t, std::map<uint8_t, Item>> objects;
    std::map<uint32_t, const SourceEntry*> byKey;
    for (const SourceEntry& entry : entries) {
        uint32_t index = ParseHexText(entry.index);
        uint32_t sub = ParseHexText(entry.subIndex);
        std::string where = "entry " + entry.index + ":" + entry.subIndex;
        const EdsDataType* type = EdsDataType::FromOurName(entry.dataType);
        if (entry.index.empty() || index > 0xFFFF || sub > 0xFF) {
            error = where + ": the index or subindex is out of range";
            return false;
        }
        if (type == nullptr) {
            type = entry.dataType == "DOMAIN" ? EdsDataType::FromNumber(0x000F) : nullptr;
        }
        if (type == nullptr) {
            error = where + ": the data type \"" + entry.dataType + "\" has no CiA 301 number";
            return false;
        }
        // The first entry of a key is the one the dictionary finds.
        if (objects[index]
                .emplace(static_cast<uint8_t>(sub), Item{&entry, type, static_cast<uint8_t>(sub)})
                .second) {
            byKey.emplace(MakeKey(index, sub), &entry);
        }
    }
    auto defaultOf = [&](uint32_t key) -> const SourceEntry* {
        auto it = byKey.find(key);
        return settings.defaultsKnown && it != byKey.end() ? it->second : nullptr;
    };

    std::time_t now = settings.created != 0 ? settings.created : std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char date[16];
    char clock[16];
    std::strftime(date, sizeof date, "%m-%d-%Y", &local);
    std::strftime(clock, sizeof clock, "%I:%M%p", &local);

    Output out;
    out.Section("FileInfo");
    out.Key("FileName", Ascii(settings.fileName));
    out.Key("FileVersion", "1");
    out.Key("FileRevision", "0");
    out.Key("EDSVersion", "4.0");
    out.Key("Description", settings.commissioning != nullptr
                               ? "Device configuration of a commissioned drive"
                               : "Object dictionary of the drive");
    out.Key("CreationTime", clock);
    out.Key("CreationDate", date);
    out.Key("CreatedBy", "TarvoStep");
    out.Key("ModificationTime", clock);
    out.Key("ModificationDate", date);
    out.Key("ModifiedBy", "TarvoStep");

    const SourceEntry* deviceName = defaultOf(MakeKey(0x1008, 0));
    std::string product = settings.device.productName;
    if (product.empty()) {
        product = deviceName != nullptr && !deviceName->defaultText.empty()
                      ? deviceName->defaultText
                      : "Stepper drive";
    }
    auto identity = [&](uint8_t sub) {
        const SourceEntry* e = defaultOf(MakeKey(0x1018, sub));
        return "0x" + Hex(e != nullptr ? static_cast<uint32_t>(e->defaultValue) : 0, 8);
    };
    size_t receivePdos = 0;
    size_t transmitPdos = 0;
    for (const auto& [index, subs] : objects) {
        receivePdos += index >= 0x1400 && index <= 0x15FF;
        transmitPdos += index >= 0x1800 && index <= 0x19FF;
    }
    out.Section("DeviceInfo");
    out.Key("VendorName", Ascii(settings.device.vendorName));
    out.Key("VendorNumber", identity(1));
    out.Key("ProductName", Ascii(product));
    out.Key("ProductNumber", identity(2));
    out.Key("RevisionNumber", identity(3));
    out.Key("OrderCode", Ascii(settings.device.orderCode));
    for (const char* rate : {"10", "20", "50", "125", "250", "500", "800", "1000"}) {
        out.Key(std::string("BaudRate_") + rate, "1");
    }
    out.Key("SimpleBootUpMaster", "0");
    out.Key("SimpleBootUpSlave", "1");
    out.Key("Granularity", "8");
    out.Key("DynamicChannelsSupported", "0");
    out.Key("GroupMessaging", "0");
    out.Key("NrOfRXPDO", std::to_string(receivePdos));
    out.Key("NrOfTXPDO", std::to_string(transmitPdos));
    out.Key("LSS_Supported", "0");

    out.Section("DummyUsage");
    for (int dummy = 1; dummy <= 7; ++dummy) {
        out.Key("Dummy000" + std::to_string(dummy), "0");
    }

    if (settings.commissioning != nullptr) {
        const Commissioning& c = *settings.commissioning;
        out.Section("DeviceComissioning");
        out.Key("NodeID", std::to_string(c.nodeId));
        out.Key("NodeName", Ascii(c.nodeName));
        out.Key("Baudrate", std::to_string(c.baudRateKbit));
        out.Key("NetNumber", "1");
        out.Key("NetworkName", "");
        out.Key("CANopenManager", "0");
        out.Key("LSS_SerialNumber", "0");
    }

    auto isMandatory = [](uint32_t index) {
        return index == 0x1000 || index == 0x1001 || index == 0x1018;
    };
    auto list = [&](const char* name, auto which) {
        std::vector<uint32_t> indexes;
        for (const auto& [index, subs] : objects) {
            if (which(index)) {
                indexes.push_back(index);
            }
        }
        out.Section(name);
        out.Key("SupportedObjects", std::to_string(indexes.size()));
        for (size_t i = 0; i < indexes.size(); ++i) {
            out.Key(std::to_string(i + 1), "0x" + Hex(indexes[i], 4));
        }
    };
    list("MandatoryObjects", isMandatory);
    list("OptionalObjects", [&](uint32_t index) {
        return !isMandatory(index) && (index < 0x2000 || index >= 0x6000);
    });
    list("ManufacturerObjects", [](uint32_t index) { return index >= 0x2000 && index < 0x6000; });

    auto variable = [&](const std::string& section, const Item& item, uint32_t index) {
        const SourceEntry& e = *item.entry;
        out.Section(section);
        out.Key("ParameterName", Ascii(e.nameEn));
        out.Key("ObjectType", "0x7");
        out.Key("DataType", "0x" + Hex(item.type->number, 4));
        out.Key("AccessType", e.attribute.find('W') != std::string::npos ? "rw" : "ro");
        const SourceEntry* known = settings.defaultsKnown ? &e : nullptr;
        if (known != nullptr && item.type->width != 0) {
            bool nodeRelative = IsPdoCommunication(index);
            out.Key("DefaultValue", NumberText(item, e.defaultValue, nodeRelative));
            bool fullRange = e.minimum == item.type->minimum && e.maximum == item.type->maximum;
            bool unknownRange = e.minimum == 0 && e.maximum == 0 && e.defaultValue != 0;
            if (!fullRange && !unknownRange && e.minimum <= e.maximum) {
                out.Key("LowLimit", NumberText(item, e.minimum, false));
                out.Key("HighLimit", NumberText(item, e.maximum, false));
            }
        } else if (known != nullptr && item.type->number == 0x0009) {
            out.Key("DefaultValue", Ascii(e.defaultText));
        }
        out.Key("PDOMapping", e.attribute.find('M') != std::string::npos ? "1" : "0");
        if (settings.commissioning != nullptr) {
            auto value = settings.commissioning->values.find(MakeKey(index, item.sub));
            if (value != settings.commissioning->values.end()) {
                out.Key("ParameterValue", Ascii(value->second));
            }
        }
    };

    for (const auto& [index, subs] : objects) {
        std::string name = Hex(index, 4);
        if (subs.size() == 1 && subs.begin()->first == 0) {
            variable(name, subs.begin()->second, index);
            continue;
        }
        // An array's sub-objects share one type; sub-index 0 counts them.
        bool array = subs.count(0) != 0 && subs.at(0).type->number == 0x0005;
        const EdsDataType* shared = nullptr;
        for (const auto& [sub, item] : subs) {
            if (sub != 0) {
                array = array && (shared == nullptr || shared == item.type);
                shared = item.type;
            }
        }
        out.Section(name);
        out.Key("ParameterName", Ascii(subs.begin()->second.entry->nameEn));
        out.Key("ObjectType", array ? "0x8" : "0x9");
        out.Key("SubNumber", std::to_string(subs.size()));
        for (const auto& [sub, item] : subs) {
            variable(name + "sub" + Hex(sub, 1), item, index);
        }
    }
    text = std::move(out.text);
    return true;
}

}  // namespace tarvo
