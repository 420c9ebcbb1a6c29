#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvo {

class FormulaEvaluator;
class ObjectDictionary;
class UnitTable;

// The units in which the Drive Control view shows and takes the values of an entry: the
// first unit the dictionary gives it (rpm for the velocities, rps/s for the accelerations),
// converted as the panels convert. Without a dictionary, or for a unit whose formula needs
// a value of the drive, the raw value stands, labelled "DEC".
class DriveUnits {
public:
    DriveUnits(const ObjectDictionary* dictionary, UnitTable* units, FormulaEvaluator* formulas)
        : dictionary_(dictionary), units_(units), formulas_(formulas) {}

    // The label of the unit values are shown in, and the one they are typed in.
    std::string ShowLabel(uint32_t key) const;
    std::string TypeLabel(uint32_t key) const;
    // A raw value in the shown unit; nullopt when it cannot be converted.
    std::optional<double> Show(uint32_t key, int32_t raw) const;
    // A typed value as the raw number to write, rounded; nullopt when it cannot be
    // converted or falls outside 32 signed bits.
    std::optional<int32_t> Raw(uint32_t key, double value) const;

private:
    bool Converts(uint32_t key, std::string& spec) const;

    const ObjectDictionary* dictionary_;
    UnitTable* units_;
    FormulaEvaluator* formulas_;
};

}  // namespace tarvo
