#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// The modal message box through which core objects tell the user of a failure. The program
// shows a real box; tools print the text; tests record it.
class MessageBox {
public:
    enum class Icon { kWarning, kInformation };

    virtual ~MessageBox() = default;
    // A failure: the box shows the warning icon.
    virtual void Show(std::string_view text) = 0;
    // A box with the icon given; one that draws no icons shows the text as Show does.
    virtual void ShowWithIcon(std::string_view text, Icon icon) {
        (void)icon;
        Show(text);
    }
};

// Keeps every text shown, and its icon, for tests and for code that reports afterwards.
class RecordingMessageBox : public MessageBox {
public:
    void Show(std::string_view text) override { ShowWithIcon(text, Icon::kWarning); }
    void ShowWithIcon(std::string_view text, Icon icon) override {
        texts.emplace_back(text);
        icons.push_back(icon);
    }
    std::vector<std::string> texts;
    std::vector<Icon> icons;
};

}  // namespace tarvo
