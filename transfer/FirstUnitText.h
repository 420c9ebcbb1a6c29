#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "comm/LinkRequester.h"
#include "dictionary/DictionaryEntry.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/UnitConverter.h"
#include "dictionary/UnitTable.h"

namespace tarvo {

// A raw value of a parameter file in its entry's first unit, as the comparison of a file
// with the drive shows it beside the number. Units whose formula needs another entry's value
// give no text: a comparison makes no second exchange for them.
class FirstUnitText {
public:
    FirstUnitText();

    // " (600.000 rpm)": empty when the entry has no unit beyond its number (none, DEC, HEX),
    // the text is no number of `sizeBits`, or the unit's formula gives no value.
    std::string Of(const DictionaryEntry& entry, const std::string& valueText, uint32_t sizeBits);

private:
    // Requests of the evaluator go nowhere: no formula reads another entry here.
    class NoRequests : public LinkRequester {
    public:
        int Request(MessageTarget*, SdoCommand, uint32_t, uint32_t) override { return 0; }
    };

    NoRequests noRequests_;
    std::atomic<MessageTarget*> noWindow_{nullptr};
    FormulaEvaluator evaluator_;
    UnitTable units_{nullptr};
    UnitConverter converter_;
};

}  // namespace tarvo
