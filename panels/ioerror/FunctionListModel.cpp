#include "panels/ioerror/FunctionListModel.h"

#include <cstdio>

#include "panels/ioerror/IoErrorTexts.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"

namespace tarvo {

void FunctionListModel::Fill(const IoFunctionNames& names, IoFunctionNames::Kind kind) {
    rows_.clear();
    // Each row stands for the bit its name is numbered for (number = bit + 1), so a file
    // with gaps in its numbering still writes the function the user ticked.
    for (int number = 1; number <= 32; ++number) {
        std::string name = names.Name(kind, number);
        if (name.empty()) {
            continue;
        }
        char id[8];
        std::snprintf(id, sizeof id, "Bit%02d", number);
        rows_.push_back({number - 1, id, std::move(name)});
    }
}

void FunctionListModel::SetTarget(MessageTarget* target, uint32_t key, uint32_t bits) {
    target_ = target;
    key_ = key;
    bits_ = bits;
}

std::vector<bool> FunctionListModel::Ticks(bool connected) const {
    std::vector<bool> ticks(rows_.size(), false);
    if (connected) {
        for (size_t i = 0; i < rows_.size(); ++i) {
            ticks[i] = (bits_ >> rows_[i].bit & 1u) != 0;
        }
    }
    return ticks;
}

bool FunctionListModel::IsMixed(uint32_t bits) {
    constexpr uint32_t kLow = (1u << kMixedLimit) - 1;
    return (bits & kLow) != 0 && (bits & ~kLow) != 0;
}

bool FunctionListModel::Accept(const std::vector<bool>& ticks, MessageBox& messageBox) const {
    uint32_t bits = 0;
    for (size_t i = 0; i < rows_.size() && i < ticks.size(); ++i) {
        if (ticks[i]) {
            bits |= 1u << rows_[i].bit;
        }
    }
    if (IsMixed(bits)) {
        messageBox.Show(io_error_text::kSettingWrong);
        return false;
    }
    if (target_ != nullptr) {
        target_->onMessage(WM_FUNCTION_CHOSEN, bits, static_cast<intptr_t>(key_));
    }
    return true;
}

}  // namespace tarvo
