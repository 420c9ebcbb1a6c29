#include "app/LanguageSettlement.h"

#include "app/SharedState.h"
#include "app/StartupMessages.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"

namespace tarvo {

LanguageSettlement::Outcome LanguageSettlement::SettleAtStart(SharedState& state,
                                                              const StartHooks& hooks) {
    AppSettings settings(state.settingsFilePath);
    state.systemLanguageFlag = state.systemIsChinese() ? 1 : 2;
    if (state.systemLanguageFlag == 1) {
        int language = settings.ConstructionLanguage(true);
        // A first start has no language yet: ask, twice at most. A choice made in the
        // second dialog is honoured rather than thrown away.
        for (int shown = 0; language == 0 && shown < 2; ++shown) {
            if (hooks.showLanguageDialog) {
                hooks.showLanguageDialog();
            }
            language = settings.ConstructionLanguage(true);
        }
        if (language == 0) {
            state.messageBox().Show(StartupMessages::kConfigError);
            return Outcome::Exit;
        }
        if (language != 2) {
            // 1, and any other value, keep the built-in Chinese resources.
            state.languageSetting.store(1);
            return Outcome::Chinese;
        }
    }
    if (!hooks.loadEnglishResources || !hooks.loadEnglishResources()) {
        state.messageBox().Show(StartupMessages::kEnglishLoadFailure);
        return Outcome::Exit;
    }
    state.languageSetting.store(2);
    return Outcome::English;
}

std::array<int32_t, 5> LanguageSettlement::ColumnWidths(int pixelsPerInch) {
    static constexpr double kFactors[5] = {2.68, 1.2, 1.1, 2.55, 0.5};
    std::array<int32_t, 5> widths{};
    for (size_t i = 0; i < widths.size(); ++i) {
        widths[i] = static_cast<int32_t>(pixelsPerInch * kFactors[i]);
    }
    return widths;
}

std::array<std::string, 3> LanguageSettlement::ColumnLabels(uint8_t language) {
    if (language == 1) {
        return {"名称", "数据", "单位"};
    }
    return {"name", "data", "unit"};
}

void LanguageSettlement::ApplyColumnSettings(SharedState& state, int pixelsPerInch) {
    uint8_t language = state.languageSetting.load();
    state.horizontalResolution = pixelsPerInch;
    if (language != 1 && language != 2) {
        return;
    }
    state.columnLabels = ColumnLabels(language);
    state.columnWidths = ColumnWidths(pixelsPerInch);
}

LanguageDialogModel::Choice LanguageDialogModel::Open() {
    if (!systemIsChinese_) {
        settings_.SetLanguage(2);
    }
    switch (settings_.Language()) {
        case 1:
            return kChinese;
        case 2:
            return kEnglish;
        default:
            return kNone;
    }
}

bool LanguageDialogModel::Accept(Choice& checked) {
    if (checked == kChinese && !systemIsChinese_) {
        messageBox_.Show(StartupMessages::kChineseUnsupported);
        checked = kEnglish;
        return false;
    }
    if (checked == kChinese || checked == kEnglish) {
        settings_.SetLanguage(checked);
    }
    return true;
}

}  // namespace tarvo
