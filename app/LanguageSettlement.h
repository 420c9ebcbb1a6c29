#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tarvo {

class AppSettings;
class MessageBox;
class SharedState;

// How the program settles its user-interface language at start: plain functions that the
// application shell calls with its dialogs and resource loader plugged in.
class LanguageSettlement {
public:
    enum class Outcome { Chinese, English, Exit };

    struct StartHooks {
        std::function<void()> showLanguageDialog;    // modal language dialog
        std::function<bool()> loadEnglishResources;  // false when EN.rcc cannot be used
    };

    // The language part of application start. Sets the system-language flag and the
    // language setting of the state; on Exit the caller ends the process with code 0.
    static Outcome SettleAtStart(SharedState& state, const StartHooks& hooks);

    // Column labels and widths of the parameter lists for the settled language and the
    // main window's pixels per logical inch.
    static void ApplyColumnSettings(SharedState& state, int pixelsPerInch);
    static std::array<int32_t, 5> ColumnWidths(int pixelsPerInch);
    static std::array<std::string, 3> ColumnLabels(uint8_t language);
};

// The logic of the language dialog (dialog 147): which radio button is checked on opening
// and what "OK" does. The view shows the result.
class LanguageDialogModel {
public:
    enum Choice { kNone = 0, kChinese = 1, kEnglish = 2 };

    LanguageDialogModel(AppSettings& settings, MessageBox& messageBox, bool systemIsChinese)
        : settings_(settings), messageBox_(messageBox), systemIsChinese_(systemIsChinese) {}

    // The radio button to check when the dialog opens.
    Choice Open();
    // "OK" with the checked choice: true when the dialog closes; false when it stays
    // open with `checked` switched to English.
    bool Accept(Choice& checked);

private:
    AppSettings& settings_;
    MessageBox& messageBox_;
    bool systemIsChinese_;
};

}  // namespace tarvo
