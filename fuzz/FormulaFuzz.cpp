// libFuzzer target: any formula text and input value give a result or a message, never a
// crash or a read past the formula.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dictionary/FormulaEvaluator.h"
#include "fuzz/CountingLink.h"
#include "platform/MessageBox.h"
#include "protocol/DriveObjects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    double value = 0.0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    std::string_view formula(reinterpret_cast<const char*>(data), size);

    tarvo::fuzz::CountingLink link;
    std::atomic<tarvo::MessageTarget*> mainWindow{nullptr};
    tarvo::RecordingMessageBox box;
    tarvo::FormulaEvaluator evaluator(link, mainWindow, &box);
    evaluator.AddConstant(tarvo::ObjectAddressOf(tarvo::DriveObject::kIoIndex, 1), 7);
    evaluator.AddConstant(0x200005, 0);

    tarvo::FormulaResult real = evaluator.EvaluateReal(nullptr, formula, value);
    if (real && formula != "N*1" && !std::isfinite(real.value)) {
        std::abort();
    }
    tarvo::FormulaIntegerResult whole = evaluator.EvaluateInteger(nullptr, formula, value);
    if (whole.status != real.status) {
        std::abort();
    }
    if (real.status == tarvo::FormulaStatus::kAwaitingReference) {
        evaluator.SetPending(tarvo::DriveObject::kTargetPosition, tarvo::SdoCommand::Write32, value,
                             std::string(formula));
        // Feed constants until the formula no longer waits: each reply adds one.
        for (int i = 0; i < 64 && evaluator.Pending(); ++i) {
            evaluator.AcceptReferenceValue(0x100000 + static_cast<uint32_t>(i), i);
            evaluator.ResumePending();
        }
    }
    return 0;
}
