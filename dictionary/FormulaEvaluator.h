#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "protocol/DriveProtocol.h"

namespace tarvo {

class LinkRequester;
class MessageBox;
class MessageTarget;

enum class FormulaStatus {
    kDone,
    // A referenced entry's value is not known yet; its read has been queued.
    kAwaitingReference,
    // The formula gave no number: malformed (the user has been told) or not finite.
    kNoResult,
};

struct FormulaResult {
    FormulaStatus status = FormulaStatus::kNoResult;
    double value = 0.0;
    // The entry whose value a kAwaitingReference result waits for.
    uint32_t awaitedKey = 0;
    explicit operator bool() const { return status == FormulaStatus::kDone; }
};

struct FormulaIntegerResult {
    FormulaStatus status = FormulaStatus::kNoResult;
    int32_t value = 0;
    explicit operator bool() const { return status == FormulaStatus::kDone; }
};

// Evaluates the unit formulas of the dictionary: numbers, N for the input value, [xxxxxxxx]
// for the current value of another entry, sqrt(...), and * / + - taken from left to right
// up to the first + or -. Keeps the values of referenced entries and finishes the one
// conversion that had to wait for such a value. User-interface thread only.
class FormulaEvaluator {
public:
    // A conversion that waits for a referenced value: a re-read or a write.
    struct PendingAction {
        uint32_t key = 0;
        SdoCommand command = SdoCommand::Read;
        double value = 0.0;
        std::string formula;
        MessageTarget* owner = nullptr;  // the window whose conversion waits
    };

    // Reads of referenced entries are queued on `link` for the window in `mainWindow`.
    FormulaEvaluator(LinkRequester& link, const std::atomic<MessageTarget*>& mainWindow,
                     MessageBox* messageBox);

    FormulaResult EvaluateReal(MessageTarget* owner, std::string_view formula, double value);
    // As EvaluateReal, the result truncated toward zero.
    FormulaIntegerResult EvaluateInteger(MessageTarget* owner, std::string_view formula,
                                         double value);

    void AddConstant(uint32_t key, int32_t value);
    bool HasConstant(uint32_t key) const;
    // 1, after "Not exist the const value!! \n", for a key without constant.
    int32_t ConstantValue(uint32_t key) const;
    // Changes an existing constant only.
    void SetConstant(uint32_t key, int32_t value);
    void ClearConstants();

    // Replaces the pending action; it belongs to the window of the latest evaluation.
    void SetPending(uint32_t key, SdoCommand command, double value, std::string formula);
    const std::optional<PendingAction>& Pending() const { return pending_; }
    // Evaluates the pending formula and queues its request; the action is then done. A
    // write the check refuses is dropped (the check tells the user why).
    void ResumePending();
    using WriteCheck = std::function<bool(uint32_t key, uint32_t data)>;
    void SetWriteCheck(WriteCheck check) { writeCheck_ = std::move(check); }

    // The main window's handling of a value it asked for: a key without constant (other
    // than the status word) becomes one and the pending action is resumed. True if so.
    bool AcceptReferenceValue(uint32_t key, int32_t value);

    MessageTarget* Owner() const { return owner_; }

private:
    struct Token {
        bool isOperator = false;
        char op = 0;
        double operand = 0.0;
    };

    // False when a referenced value is missing (its read is then queued).
    bool Parse(std::string_view formula);
    // Parses sqrt(...) at formula[at]; false when the formula has no ')' after it.
    bool ParseSquareRoot(std::string_view formula, size_t& at);
    void AppendOperand(double value);
    void AppendOperator(char op);
    std::optional<double> Reduce();
    void RejectCharacter(std::string_view formula, size_t at);
    void Tell(const std::string& text) const;

    LinkRequester& link_;
    WriteCheck writeCheck_;
    const std::atomic<MessageTarget*>& mainWindow_;
    MessageBox* messageBox_;

    MessageTarget* owner_ = nullptr;
    double inputValue_ = 0.0;
    uint32_t awaitedKey_ = 0;  // the reference that stopped the last parse
    std::vector<Token> tokens_;
    std::unordered_map<uint32_t, int32_t> constants_;
    std::optional<PendingAction> pending_;
};

}  // namespace tarvo
