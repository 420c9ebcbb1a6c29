#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/UnitConverter.h"

namespace tarvo {

class FormulaEvaluator;
class MessageTarget;
class ObjectDictionary;
class UnitTable;

// The units of the trigger level and of the channels: which units an object offers and how
// a raw value turns into text in one of them and back, through the dictionary's unit
// conversion. Raw values are 32-bit drive values of the object. "DEC" shows the value in
// decimal (signed or unsigned by the object's type), "HEX" the 32 bits in hexadecimal, a
// unit whose formula is N*1 in decimal too, any other unit "%0.6f" of the converted value.
class ScopeUnits {
public:
    ScopeUnits(const ObjectDictionary& dictionary, UnitTable& units, FormulaEvaluator& evaluator)
        : dictionary_(dictionary), units_(units), converter_(units, evaluator) {}

    // The labels of the object's units, each once, "DEC" always among them and last.
    std::vector<std::string> Choices(uint32_t address);
    // The text of a raw value; an empty optional when the unit cannot convert it now.
    std::optional<std::string> RawToText(MessageTarget* owner, uint32_t address,
                                         const std::string& label, uint32_t raw);
    // The raw value of a typed text; none when the unit has no way back.
    std::optional<uint32_t> TextToRaw(MessageTarget* owner, uint32_t address,
                                      const std::string& label, const std::string& text);
    // Display units per raw unit: the raw value 1 shown in the unit, read back as a number.
    double Coefficient(MessageTarget* owner, uint32_t address, const std::string& label);

private:
    std::string DataType(uint32_t address) const;
    std::string DecimalText(const std::string& dataType, uint32_t raw) const;

    const ObjectDictionary& dictionary_;
    UnitTable& units_;
    UnitConverter converter_;
};

}  // namespace tarvo
