#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// The modal message box through which core objects tell the user of a failure. The program
// shows a real box; tools print the text; tests record it.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(std::string_view text) = 0;
};

// Keeps every text shown, for tests and for code that reports afterwards.
class RecordingMessageBox : public MessageBox {
public:
    void Show(std::string_view text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

}  // namespace tarvo
