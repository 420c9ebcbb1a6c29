#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/UnitRecord.h"

namespace tarvo {

class FormulaEvaluator;
class MessageTarget;
class UnitTable;

// What converting a value into or out of a unit gives.
struct UnitValue {
    enum class Status {
        kDone,
        // A formula refers to an entry whose value is not known (`awaitedKey`).
        kAwaitingReference,
        // The definition's formula gave no number.
        kNoResult,
        // The entry has no definition for the label.
        kNoDefinition,
    };

    Status status = Status::kNoDefinition;
    double value = 0.0;
    std::string formula;  // the formula of the definition that was used
    uint32_t awaitedKey = 0;

    explicit operator bool() const { return status == Status::kDone; }
};

// The one conversion between an entry's raw drive values and the values of its units, for
// the panels, tarvoctl and the oscilloscope alike. It widens a raw value by the entry's data
// type, finds the definitions of a unit label in the entry's unit record and evaluates their
// formulas, with the values of the entries that a formula refers to.
//
// A read definition ("[r rpm]N*60/512", second word = label) converts a raw value into the
// unit; a one-word definition ("[rpm]N*512/60") converts a value of the unit back into a
// raw value, and when it is the first definition of its label it also stands for showing,
// handing its formula back without converting. The fixed labels "DEC", "HEX", "ASCII" and ""
// need no definition; callers format them themselves. User-interface thread only.
class UnitConverter {
public:
    // Reads an entry's value from the drive at once; none when it cannot be read. Without
    // a reader a formula that refers to an unknown entry waits: the evaluator queues the
    // read and the conversion gives kAwaitingReference.
    using ReferenceReader = std::function<std::optional<int32_t>(uint32_t key)>;

    // What showing does when a read definition waits for a referenced value: stop there,
    // or leave a re-read of the entry pending in the evaluator and try the next definition.
    enum class OnWait { kStop, kRereadAndGoOn };
    // Which of several definitions that write the same label are evaluated.
    enum class Writes { kFirst, kEvery };

    UnitConverter(UnitTable& units, FormulaEvaluator& evaluator, ReferenceReader reader = {})
        : units_(units), evaluator_(evaluator), reader_(std::move(reader)) {}

    // The width in bits that the data type name carries (8, 16 or 32), or 0 for none.
    static int TypeWidth(std::string_view dataType);
    static bool IsUnsignedType(std::string_view dataType);
    // The value that a raw drive value of the type stands for: its low `width` bits, signed
    // or unsigned by the type. None for a type without a valid width.
    static std::optional<double> Widen(std::string_view dataType, uint32_t raw);
    // A whole value in decimal, "%u" for an unsigned 32-bit type and "%d" otherwise; none
    // for a type without a valid width.
    static std::optional<std::string> DecimalText(std::string_view dataType, int32_t value);
    // The identity formula: a unit with it shows whole numbers as "DEC" does.
    static bool IsIdentity(std::string_view formula) { return formula == "N*1"; }

    // Each label of the definitions once, in their order.
    static std::vector<std::string> Labels(const std::vector<UnitDefinition>& definitions);
    // The labels that one-word definitions write, in their order; fixed labels left out.
    static std::vector<std::string> WriteLabels(const std::vector<UnitDefinition>& definitions);

    // Registers the entry's units (the unit table parses them on the first call for the key)
    // and gives its record.
    const UnitRecord* Register(uint32_t key, std::string_view unitSpec);

    // The definition that shows `label`: the first whose label it is; nullptr when none.
    const UnitDefinition* FirstDefinition(uint32_t key, std::string_view label) const;

    // The value of the entry (already widened) shown in `label`, by the first definition of
    // the label in the entry's record.
    UnitValue ToUnit(MessageTarget* owner, uint32_t key, std::string_view label, double value,
                     OnWait onWait);
    // `number`, a value in `label`, turned into raw values by the one-word definitions of the
    // label, one result per definition evaluated (none when the label has no such
    // definition). Results are real numbers; callers truncate or check the range.
    std::vector<UnitValue> ToRaw(MessageTarget* owner, uint32_t key, std::string_view label,
                                 double number, Writes writes);

private:
    // Evaluates with the reader resolving the entries the formula refers to.
    UnitValue Evaluate(MessageTarget* owner, const std::string& formula, double value);

    UnitTable& units_;
    FormulaEvaluator& evaluator_;
    ReferenceReader reader_;
};

}  // namespace tarvo
