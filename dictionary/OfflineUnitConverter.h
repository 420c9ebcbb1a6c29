#pragma once

#include <atomic>

#include "comm/LinkRequester.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/UnitConverter.h"
#include "dictionary/UnitTable.h"

namespace tarvo {

// A unit converter with its own evaluator and unit table that never sends a request, for
// conversions outside the program's windows (tarvoctl, a file compared with the drive).
// Formulas that refer to other entries get their values through `reader`; without one they
// give no value.
class OfflineUnitConverter {
public:
    explicit OfflineUnitConverter(UnitConverter::ReferenceReader reader = {});
    OfflineUnitConverter(const OfflineUnitConverter&) = delete;
    OfflineUnitConverter& operator=(const OfflineUnitConverter&) = delete;

    UnitConverter* operator->() { return &converter_; }
    UnitConverter& operator*() { return converter_; }

private:
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
