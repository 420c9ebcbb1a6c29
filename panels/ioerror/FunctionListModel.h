#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "panels/ioerror/IoFunctionNames.h"

namespace tarvo {

class MessageBox;
class MessageTarget;

// The function chooser of one kind of port without its widgets: one row per named function
// bit, ticks from the port's current bits, and the rule that a choice may not mix the
// functions of bits 0..14 with those of bits 15 and up.
class FunctionListModel {
public:
    static constexpr int kMixedLimit = 15;  // bits below and from here on do not mix

    struct Row {
        int bit = 0;
        std::string id;  // "Bit" and the two digits of the name's number
        std::string name;
    };

    // Lists every function of the kind that has a name, in bit order.
    void Fill(const IoFunctionNames& names, IoFunctionNames::Kind kind);
    // The panel to tell, the port's key and its present function bits.
    void SetTarget(MessageTarget* target, uint32_t key, uint32_t bits);

    const std::vector<Row>& Rows() const { return rows_; }
    uint32_t Key() const { return key_; }
    // One tick per row: the port's bits while connected, none while not.
    std::vector<bool> Ticks(bool connected) const;
    // OK: sends WM_FUNCTION_CHOSEN with the ticked bits to the target and gives true, or
    // shows "Your setting is wrong!!" and gives false (nothing is sent).
    bool Accept(const std::vector<bool>& ticks, MessageBox& messageBox) const;

    static bool IsMixed(uint32_t bits);

private:
    std::vector<Row> rows_;
    MessageTarget* target_ = nullptr;
    uint32_t key_ = 0;
    uint32_t bits_ = 0;
};

}  // namespace tarvo
