#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/FactsText.h"
#include "dictionary/UnitConverter.h"
#include "protocol/DriveProtocol.h"

namespace tarvo {

class FormulaEvaluator;
class LinkRequester;
class MessageBox;
class MessageTarget;
class ObjectDictionary;
class ParameterRows;
class UnitTable;

// What FindRowByKey gives: the row of a key in a parameter list (-1 when absent) with the
// row's unit label and data type.
struct RowLookup {
    std::string unitLabel;
    std::string dataType;
    int row = -1;
};

// Turns raw drive values into the text of a parameter list and edited text back into a
// write request, through the entry's data type and the unit the row shows. It has no state
// of its own; every panel shares one. User-interface thread only.
class ValueText {
public:
    struct Services {
        const ObjectDictionary& dictionary;
        FormulaEvaluator& evaluator;
        UnitTable& units;
        LinkRequester& link;
        MessageBox* messageBox;
        // The interface language setting (1 Chinese); "ASCII" values are text in its code
        // page. None: Windows-1252.
        const std::atomic<uint8_t>* language = nullptr;
    };

    // The 8-bit code page of "ASCII" values, that of the interface language as the
    // system's code page would be: GBK for Chinese, Windows-1252 otherwise.
    enum class CodePage { kWestern, kChinese };

    // A write that waits for a referenced value is checked against the range when it goes.
    explicit ValueText(const Services& services);
    ~ValueText();
    ValueText(const ValueText&) = delete;
    ValueText& operator=(const ValueText&) = delete;

    // The width in bits that the data type name carries (8, 16 or 32), or 0 for none.
    static int TypeWidth(std::string_view dataType);
    static bool IsUnsignedType(std::string_view dataType);
    // Empty when the whole number lies in the range of the type (its width and sign); else
    // "-5 is out of range for UNSIGNED32 (0 to 4294967295)". Empty for a type without width.
    static std::string RangeProblem(std::string_view dataType, double value);
    // The write command of the type's width; none without a valid width.
    static std::optional<SdoCommand> CommandForType(std::string_view dataType);
    // The raw value of a reply widened by the type's width and sign.
    static std::optional<double> RawToNumber(std::string_view dataType, uint32_t raw);

    // Converts the value by the read formula of the row's unit. "DEC", "HEX", "ASCII" and
    // the empty label need no formula: `converted` is set and the value stays. A one-word
    // unit hands its formula back without converting. A formula that waits for another
    // entry leaves a re-read of this key pending and the next definition is tried.
    bool ApplyUnit(MessageTarget* owner, uint32_t key, std::string_view unitLabel, double& value,
                   std::string& formula, bool& converted);

    // The text of a (converted) value for the unit label.
    static std::string NumberToText(std::string_view unitLabel, std::string_view dataType,
                                    std::string_view formula, double value,
                                    CodePage codePage = CodePage::kWestern);
    // The code page of the language now in use.
    CodePage CodePageInUse() const;

    // The sentences about entry facts, from the interface language's string table.
    void SetTextLookup(FactsText::Lookup lookup) { factsText_ = FactsText(std::move(lookup)); }
    const FactsText& Texts() const { return factsText_; }
    // Empty when the raw value (widened by the type) lies in the entry's range or the entry
    // has none; else the refusal, naming the value as `shown` (the raw value when empty).
    std::string OutOfRangeProblem(uint32_t key, int64_t raw, std::string_view shown = {}) const;

    // Converts the value text of a row by its unit and queues the write for `owner`; a write
    // whose formula waits for another entry is left pending and sent when that value comes.
    // A value outside the entry's range (in raw units, after the unit) is refused unsent.
    void WriteEditedValue(MessageTarget* owner, const ParameterRows& list, int row);

    // The first row whose key column holds the key.
    static RowLookup FindRowByKey(const ParameterRows* list, uint32_t key);

    // Shows the help box of an entry; nothing for an unknown key.
    void ShowEntryHelp(uint32_t key);
    static std::string EntryHelpText(const DictionaryEntry& entry);

private:
    void Queue(MessageTarget* owner, SdoCommand command, uint32_t key, uint32_t raw);
    // Shows the problem, if there is one, and says whether there was; a problem that is not
    // a whole sentence (`sentence` false) is told with "; nothing was written." after it.
    bool Refused(const std::string& problem, bool sentence = false) const;

    Services services_;
    UnitConverter converter_;
    FactsText factsText_;
};

}  // namespace tarvo
