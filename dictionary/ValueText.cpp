#include "dictionary/ValueText.h"

#include <cmath>
#include <cstdio>

#include "comm/LinkRequester.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/LeadingNumber.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ParameterRows.h"
#include "dictionary/UnitConverter.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

bool IsFixedLabel(std::string_view label) {
    return label.empty() || label == "DEC" || label == "ASCII" || label == "HEX";
}

std::string Format(const char* format, uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string DecimalText(std::string_view dataType, int32_t raw) {
    return UnitConverter::DecimalText(dataType, raw).value_or("???");
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

}  // namespace

ValueText::ValueText(const Services& services)
    : services_(services), converter_(services.units, services.evaluator) {
    services_.evaluator.SetWriteCheck([this](uint32_t key, uint32_t data) {
        std::optional<DictionaryEntry> entry = services_.dictionary.FindEntry(key);
        std::optional<double> value =
            entry ? RawToNumber(entry->dataType, data) : std::optional<double>();
        return !value || !Refused(OutOfRangeProblem(key, static_cast<int64_t>(*value)), true);
    });
}

ValueText::~ValueText() {
    services_.evaluator.SetWriteCheck({});
}

int ValueText::TypeWidth(std::string_view dataType) {
    return UnitConverter::TypeWidth(dataType);
}

bool ValueText::IsUnsignedType(std::string_view dataType) {
    return UnitConverter::IsUnsignedType(dataType);
}

std::string ValueText::RangeProblem(std::string_view dataType, double value) {
    int width = TypeWidth(dataType);
    if (width == 0) {
        return {};
    }
    bool isUnsigned = IsUnsignedType(dataType);
    double low = isUnsigned ? 0 : -std::ldexp(1.0, width - 1);
    double high = isUnsigned ? std::ldexp(1.0, width) - 1 : std::ldexp(1.0, width - 1) - 1;
    if (value >= low && value <= high) {
        return {};
    }
    char text[128];
    std::snprintf(text, sizeof text, "%.15g is out of range for %.*s (%.0f to %.0f)", value,
                  static_cast<int>(dataType.size()), dataType.data(), low, high);
    return text;
}

std::optional<SdoCommand> ValueText::CommandForType(std::string_view dataType) {
    switch (TypeWidth(dataType)) {
        case 8:
            return SdoCommand::Write8;
        case 16:
            return SdoCommand::Write16;
        case 32:
            return SdoCommand::Write32;
        default:
            return std::nullopt;
    }
}

std::optional<double> ValueText::RawToNumber(std::string_view dataType, uint32_t raw) {
    return UnitConverter::Widen(dataType, raw);
}

bool ValueText::ApplyUnit(MessageTarget* owner, uint32_t key, std::string_view unitLabel,
                          double& value, std::string& formula, bool& converted) {
    converted = false;
    formula.clear();
    if (key == 0) {
        return false;
    }
    // Formulas that refer to this entry see its newest value.
    services_.evaluator.SetConstant(key, TruncateToInt32(value));
    if (IsFixedLabel(unitLabel)) {
        converted = true;
        return true;
    }
    UnitValue shown =
        converter_.ToUnit(owner, key, unitLabel, value, UnitConverter::OnWait::kRereadAndGoOn);
    if (!shown) {
        return false;
    }
    value = shown.value;
    formula = std::move(shown.formula);
    converted = true;
    return true;
}

ValueText::CodePage ValueText::CodePageInUse() const {
    return services_.language != nullptr && services_.language->load() == 1 ? CodePage::kChinese
                                                                            : CodePage::kWestern;
}

std::string ValueText::NumberToText(std::string_view unitLabel, std::string_view dataType,
                                    std::string_view formula, double value, CodePage codePage) {
    int32_t raw = TruncateToInt32(value);
    int width = TypeWidth(dataType);
    if (unitLabel.empty() || unitLabel == "ASCII") {
        if (width == 0) {
            return "???";
        }
        std::string bytes;
        auto bits = static_cast<uint32_t>(raw);
        for (int i = 0; i < width / 8; ++i) {
            char byte = static_cast<char>((bits >> (8 * i)) & 0xFF);
            if (byte == '\0') {
                break;  // a zero byte ends the text
            }
            bytes.push_back(byte);
        }
        return codePage == CodePage::kChinese ? TextCodec::GbkToUtf8(bytes)
                                              : TextCodec::Windows1252ToUtf8(bytes);
    }
    if (unitLabel == "DEC") {
        return DecimalText(dataType, raw);
    }
    if (unitLabel == "HEX") {
        auto bits = static_cast<uint32_t>(raw);
        switch (width) {
            case 8:
                return Format("%x", bits & 0xFF);
            case 16:
                return Format("%x", bits & 0xFFFF);
            case 32:
                return Format("%x", bits);
            default:
                return "???";
        }
    }
    if (UnitConverter::IsIdentity(formula)) {
        return DecimalText(dataType, raw);
    }
    return FormatThreeDecimals(value);
}

void ValueText::WriteEditedValue(MessageTarget* owner, const ParameterRows& list, int row) {
    if (row < 0 || row >= list.RowCount()) {
        return;
    }
    uint32_t key = ParseDecimalText(list.Text(row, ParameterRows::kKeyColumn));
    std::string dataType = list.Text(row, ParameterRows::kDataTypeColumn);
    std::string text = list.Text(row, ParameterRows::kValueColumn);
    std::string label = list.Text(row, ParameterRows::kUnitColumn);
    int width = TypeWidth(dataType);
    // A type without a valid width gives no write command, and a row without a key names
    // no entry: neither is sent to the drive, now or once a referenced value has come.
    std::optional<SdoCommand> found = CommandForType(dataType);
    if (!found || key == 0) {
        return;
    }
    const SdoCommand command = *found;

    if (label == "ASCII") {
        // The characters go back into the bytes they are shown from, first byte lowest.
        std::string bytes = CodePageInUse() == CodePage::kChinese
                                ? TextCodec::Utf8ToGbk(text)
                                : TextCodec::Utf8ToWindows1252(text);
        if (width == 0 || bytes.size() != static_cast<size_t>(width / 8)) {
            return;
        }
        uint32_t raw = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            raw |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        }
        Queue(owner, command, key, raw);
        return;
    }
    if (label.empty() || label == "DEC") {
        int64_t whole = ReadLeadingInteger(text);
        auto number = static_cast<double>(whole);
        if (Refused(RangeProblem(dataType, number)) ||
            Refused(OutOfRangeProblem(key, whole), true)) {
            return;
        }
        Queue(owner, command, key, static_cast<uint32_t>(TruncateToInt32(number)));
        return;
    }
    if (label == "HEX") {
        uint32_t raw = ParseHexText(text);
        if (width != 32 && raw >> width != 0) {
            char shown[64];
            std::snprintf(shown, sizeof shown, "0x%X does not fit in %d bits", raw, width);
            Refused(shown);
        } else if (width != 0) {
            std::optional<double> widened = RawToNumber(dataType, raw);
            char shownHex[16];
            std::snprintf(shownHex, sizeof shownHex, "0x%X", raw);
            if (widened &&
                Refused(OutOfRangeProblem(key, static_cast<int64_t>(*widened), shownHex), true)) {
                return;
            }
            Queue(owner, command, key, raw);
        }
        return;
    }
    double number = ReadLeadingReal(text);
    // Every definition that writes this unit is used, not only the first.
    for (const UnitValue& written :
         converter_.ToRaw(owner, key, label, number, UnitConverter::Writes::kEvery)) {
        if (written) {
            // The unit's value, converted, must still be one of the entry's.
            if (Refused(RangeProblem(dataType, std::trunc(written.value)))) {
                return;
            }
            auto raw = static_cast<int64_t>(std::trunc(written.value));
            std::string shown = text + " " + label + " (" + std::to_string(raw) + ")";
            if (Refused(OutOfRangeProblem(key, raw, shown), true)) {
                return;
            }
            Queue(owner, command, key, static_cast<uint32_t>(TruncateToInt32(written.value)));
        } else if (written.status == UnitValue::Status::kAwaitingReference) {
            services_.evaluator.SetPending(key, command, number, written.formula);
        }
    }
}

std::string ValueText::OutOfRangeProblem(uint32_t key, int64_t raw, std::string_view shown) const {
    const EntryFacts* facts = services_.dictionary.FactsOf(key);
    if (facts == nullptr || facts->InRange(raw)) {
        return {};
    }
    std::optional<DictionaryEntry> entry = services_.dictionary.FindEntry(key);
    char fallback[16];
    std::snprintf(fallback, sizeof fallback, "%06X", static_cast<unsigned>(key));
    return factsText_.RangeRefusal(*facts, raw, shown, entry ? entry->name : fallback);
}

bool ValueText::Refused(const std::string& problem, bool sentence) const {
    if (problem.empty()) {
        return false;
    }
    if (services_.messageBox != nullptr) {
        services_.messageBox->ShowWithIcon(sentence ? problem : problem + "; nothing was written.",
                                           MessageBox::Icon::kWarning);
    }
    return true;
}

void ValueText::Queue(MessageTarget* owner, SdoCommand command, uint32_t key, uint32_t raw) {
    services_.link.Request(owner, command, key, raw);
}

RowLookup ValueText::FindRowByKey(const ParameterRows* list, uint32_t key) {
    if (list == nullptr || key == 0) {
        return {};
    }
    for (int row = 0; row < list->RowCount(); ++row) {
        if (ParseDecimalText(list->Text(row, ParameterRows::kKeyColumn)) == key) {
            return {list->Text(row, ParameterRows::kUnitColumn),
                    list->Text(row, ParameterRows::kDataTypeColumn), row};
        }
    }
    return {};
}

std::string ValueText::EntryHelpText(const DictionaryEntry& entry) {
    char index[32];
    std::snprintf(index, sizeof index, "Index: 0x%04X%02X", static_cast<unsigned>(entry.index),
                  static_cast<unsigned>(entry.subIndex));
    std::string text = index;
    text += "\r\nName: " + entry.name;
    text += "\r\nData Type: " + entry.dataType + "  " + entry.attribute;
    if (entry.modbusAddress == 0) {
        text += "\r\nModbus address: none";
    } else {
        text += "\r\nModbus address: 0x" + Format("%04X", entry.modbusAddress);
    }
    std::string help = ReplaceAll(entry.help, "\n", "\r\n");
    help = ReplaceAll(std::move(help), "\xE3\x80\x82", "\xE3\x80\x82\r\n");  // 。
    text += "\r\nOperator Help:\r\n" + help;
    return text;
}

void ValueText::ShowEntryHelp(uint32_t key) {
    std::optional<DictionaryEntry> entry = services_.dictionary.FindEntry(key);
    if (entry && services_.messageBox != nullptr) {
        services_.messageBox->ShowWithIcon(EntryHelpText(*entry), MessageBox::Icon::kInformation);
    }
}

}  // namespace tarvo
