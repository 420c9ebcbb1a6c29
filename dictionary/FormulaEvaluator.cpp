#include "dictionary/FormulaEvaluator.h"

#include <cmath>
#include <new>

#include "comm/LinkRequester.h"
#include "dictionary/LeadingNumber.h"
#include "dictionary/ValueMessages.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

constexpr std::string_view kIdentity = "N*1";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsOperator(char c) {
    return c == '*' || c == '/' || c == '+' || c == '-';
}

// The code of the character at text[at], as the user's formula holds it: the Unicode code
// point of a UTF-8 sequence, or the byte itself when the bytes are not UTF-8.
uint32_t CharacterCode(std::string_view text, size_t at) {
    auto lead = static_cast<unsigned char>(text[at]);
    size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || lead >= 0xF8 || text.size() - at <= extra) {
        return lead;
    }
    uint32_t code = lead & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return lead;
        }
        code = (code << 6) | (next & 0x3F);
    }
    return code;
}

}  // namespace

FormulaEvaluator::FormulaEvaluator(LinkRequester& link,
                                   const std::atomic<MessageTarget*>& mainWindow,
                                   MessageBox* messageBox)
    : link_(link), mainWindow_(mainWindow), messageBox_(messageBox) {}

void FormulaEvaluator::Tell(const std::string& text) const {
    if (messageBox_ != nullptr) {
        messageBox_->Show(text);
    }
}

FormulaResult FormulaEvaluator::EvaluateReal(MessageTarget* owner, std::string_view formula,
                                             double value) {
    owner_ = owner;
    inputValue_ = value;
    if (formula == kIdentity) {
        // A typed "nan" or "inf" is no value for a drive either.
        if (!std::isfinite(value)) {
            return {FormulaStatus::kNoResult, 0.0};
        }
        return {FormulaStatus::kDone, value};
    }
    tokens_.clear();
    if (!Parse(formula)) {
        return {FormulaStatus::kAwaitingReference, 0.0, awaitedKey_};
    }
    std::optional<double> result = Reduce();
    tokens_.clear();
    // A division by zero or the root of a negative number is no value for a drive.
    if (!result || !std::isfinite(*result)) {
        return {FormulaStatus::kNoResult, 0.0};
    }
    return {FormulaStatus::kDone, *result};
}

FormulaIntegerResult FormulaEvaluator::EvaluateInteger(MessageTarget* owner,
                                                       std::string_view formula, double value) {
    FormulaResult real = EvaluateReal(owner, formula, value);
    return {real.status, real ? TruncateToInt32(real.value) : 0};
}

bool FormulaEvaluator::Parse(std::string_view formula) {
    size_t i = 0;
    while (i < formula.size()) {
        char c = formula[i];
        if (IsDigit(c)) {
            size_t end = i;
            while (end < formula.size() && (IsDigit(formula[end]) || formula[end] == '.')) {
                ++end;
            }
            AppendOperand(ReadLeadingReal(formula.substr(i, end - i)));
            i = end;
        } else if (c == 'N' || c == 'n') {
            AppendOperand(inputValue_);
            ++i;
        } else if (c == '[') {
            size_t close = formula.find(']', i + 1);
            if (close == std::string_view::npos) {
                RejectCharacter(formula, i);
                break;
            }
            uint32_t key = ParseHexText(formula.substr(i + 1, close - i - 1)) >> 8;
            auto constant = constants_.find(key);
            if (constant == constants_.end()) {
                tokens_.clear();
                awaitedKey_ = key;
                link_.Request(mainWindow_.load(), SdoCommand::Read, key, 0);
                return false;
            }
            AppendOperand(constant->second);
            i = close + 1;
        } else if (c == 'S' || c == 's') {
            if (!ParseSquareRoot(formula, i)) {
                RejectCharacter(formula, i);
                break;
            }
        } else if (IsOperator(c)) {
            AppendOperator(c);
            ++i;
        } else {
            RejectCharacter(formula, i);
            break;
        }
    }
    return true;
}

bool FormulaEvaluator::ParseSquareRoot(std::string_view formula, size_t& at) {
    size_t close = formula.find(')', at);
    if (close == std::string_view::npos) {
        return false;
    }
    std::string_view argument = formula.substr(at, close - at + 1);
    // All digits of the argument form one whole number: sqrt(N*2.5) multiplies by 25.
    double k = ParseDecimalText(argument);
    double n = inputValue_;
    if (argument.find_first_of("Nn") == std::string_view::npos) {
        AppendOperand(std::sqrt(k));
    } else if (argument.find('*') != std::string_view::npos) {
        AppendOperand(std::sqrt(k * n));
    } else if (argument.find('/') != std::string_view::npos) {
        AppendOperand(std::sqrt(n / k));
    } else if (argument.find('+') != std::string_view::npos) {
        AppendOperand(std::sqrt(k + n));
    } else if (argument.find('-') != std::string_view::npos) {
        AppendOperand(std::sqrt(n - k));
    } else {
        Tell(ValueMessages::kSquareRoot);
        AppendOperand(0.0);
        ++at;  // the next character ("q" of sqrt) then stops the parsing
        return true;
    }
    at = close + 1;
    return true;
}

void FormulaEvaluator::AppendOperand(double value) {
    try {
        tokens_.push_back({false, 0, value});
    } catch (const std::bad_alloc&) {
        Tell(ValueMessages::kFormulaMemory);
    }
}

void FormulaEvaluator::AppendOperator(char op) {
    try {
        tokens_.push_back({true, op, 0.0});
    } catch (const std::bad_alloc&) {
        Tell(ValueMessages::kFormulaMemory);
    }
}

void FormulaEvaluator::RejectCharacter(std::string_view formula, size_t at) {
    Tell(ValueMessages::kFormulaCharacter + std::to_string(CharacterCode(formula, at)));
}

std::optional<double> FormulaEvaluator::Reduce() {
    // Only operand (operator operand)... with at least one operator is a formula; anything
    // else would make the evaluation read past the tokens.
    bool wellFormed = tokens_.size() >= 3 && tokens_.size() % 2 == 1;
    for (size_t i = 0; wellFormed && i < tokens_.size(); ++i) {
        wellFormed = tokens_[i].isOperator == (i % 2 == 1);
    }
    if (!wellFormed) {
        Tell(ValueMessages::kFormulaStack);
        return std::nullopt;
    }
    double result = tokens_[0].operand;
    for (size_t i = 1; i + 1 < tokens_.size(); i += 2) {
        double operand = tokens_[i + 1].operand;
        switch (tokens_[i].op) {
            case '*':
                result *= operand;
                break;
            case '/':
                result /= operand;
                break;
            case '+':
                return result + operand;
            default:
                return result - operand;
        }
    }
    return result;
}

void FormulaEvaluator::AddConstant(uint32_t key, int32_t value) {
    try {
        constants_.try_emplace(key, value);
    } catch (const std::bad_alloc&) {
        Tell(ValueMessages::kConstantMemory);
    }
}

bool FormulaEvaluator::HasConstant(uint32_t key) const {
    return constants_.count(key) != 0;
}

int32_t FormulaEvaluator::ConstantValue(uint32_t key) const {
    auto it = constants_.find(key);
    if (it == constants_.end()) {
        Tell(ValueMessages::kNoConstant);
        return 1;
    }
    return it->second;
}

void FormulaEvaluator::SetConstant(uint32_t key, int32_t value) {
    auto it = constants_.find(key);
    if (it != constants_.end()) {
        it->second = value;
    }
}

void FormulaEvaluator::ClearConstants() {
    constants_.clear();
}

void FormulaEvaluator::SetPending(uint32_t key, SdoCommand command, double value,
                                  std::string formula) {
    pending_ = PendingAction{key, command, value, std::move(formula), owner_};
}

void FormulaEvaluator::ResumePending() {
    if (!pending_) {
        return;
    }
    PendingAction action = *pending_;
    FormulaIntegerResult result = EvaluateInteger(action.owner, action.formula, action.value);
    if (result.status == FormulaStatus::kAwaitingReference) {
        return;  // another referenced value is still missing; its read is on its way
    }
    // Done once: a later value must not send the user's old write again.
    pending_.reset();
    if (result) {
        uint32_t data =
            action.command == SdoCommand::Read ? 0 : static_cast<uint32_t>(result.value);
        if (action.command != SdoCommand::Read && writeCheck_ && !writeCheck_(action.key, data)) {
            return;
        }
        link_.Request(action.owner, action.command, action.key, data);
    }
}

bool FormulaEvaluator::AcceptReferenceValue(uint32_t key, int32_t value) {
    // Replies of the status word are polled all the time and never become constants.
    if (key == DriveObject::kStatusWord || HasConstant(key)) {
        return false;
    }
    AddConstant(key, value);
    ResumePending();
    return true;
}

}  // namespace tarvo
