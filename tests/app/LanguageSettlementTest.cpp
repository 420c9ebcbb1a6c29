#include <gtest/gtest.h>

#include "app/LanguageSettlement.h"
#include "app/SharedState.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

class LanguageSettlementTest : public ::testing::Test {
protected:
    std::unique_ptr<SharedState> State(bool chinese) {
        return std::make_unique<SharedState>(
            SharedState::Options{folder.Path(), chinese, &box, nullptr, false});
    }
    LanguageSettlement::StartHooks Hooks(std::function<void()> dialog, bool englishLoads = true) {
        return {std::move(dialog), [this, englishLoads] {
                    ++englishLoads_;
                    return englishLoads;
                }};
    }
    test::TempFolder folder;
    RecordingMessageBox box;
    int englishLoads_ = 0;
};

TEST_F(LanguageSettlementTest, ChineseSystemWithoutSettingsAsksForTheLanguage) {
    auto state = State(true);
    int dialogs = 0;
    AppSettings settings(state->settingsFilePath);
    auto outcome = LanguageSettlement::SettleAtStart(*state, Hooks([&] {
        ++dialogs;
        settings.SetLanguage(1);
    }));
    EXPECT_EQ(outcome, LanguageSettlement::Outcome::Chinese);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(state->languageSetting.load(), 1);
    EXPECT_EQ(englishLoads_, 0);
}

TEST_F(LanguageSettlementTest, TwoCancelledDialogsEndTheProgram) {
    auto state = State(true);
    int dialogs = 0;
    auto outcome = LanguageSettlement::SettleAtStart(*state, Hooks([&] { ++dialogs; }));
    EXPECT_EQ(outcome, LanguageSettlement::Outcome::Exit);
    EXPECT_EQ(dialogs, 2);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "System config file error.\n Exit!! ");
}

TEST_F(LanguageSettlementTest, SecondDialogChoiceIsHonoured) {
    auto state = State(true);
    int dialogs = 0;
    AppSettings settings(state->settingsFilePath);
    auto outcome = LanguageSettlement::SettleAtStart(*state, Hooks([&] {
        if (++dialogs == 2) {
            settings.SetLanguage(2);
        }
    }));
    EXPECT_EQ(outcome, LanguageSettlement::Outcome::English);
    EXPECT_EQ(englishLoads_, 1);
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(LanguageSettlementTest, OtherSystemsAreEnglishWhateverTheFileSays) {
    folder.Write("sys/sys.ini", "[sys]\nlang=1\n");
    auto state = State(false);
    auto outcome = LanguageSettlement::SettleAtStart(*state, Hooks([] { FAIL(); }));
    EXPECT_EQ(outcome, LanguageSettlement::Outcome::English);
    EXPECT_EQ(state->systemLanguageFlag, 2);
    EXPECT_EQ(state->languageSetting.load(), 2);
}

TEST_F(LanguageSettlementTest, MissingEnglishResourcesEndTheProgram) {
    auto state = State(false);
    auto outcome = LanguageSettlement::SettleAtStart(*state, Hooks(nullptr, false));
    EXPECT_EQ(outcome, LanguageSettlement::Outcome::Exit);
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "Load EN.dll resource failure!\n  System exit!\n");
}

TEST_F(LanguageSettlementTest, ColumnSettingsForBothLanguages) {
    auto state = State(false);
    state->languageSetting.store(2);
    LanguageSettlement::ApplyColumnSettings(*state, 96);
    EXPECT_EQ(state->columnLabels[0], "name");
    EXPECT_EQ(state->columnWidths, (std::array<int32_t, 5>{257, 115, 105, 244, 48}));
    state->languageSetting.store(1);
    LanguageSettlement::ApplyColumnSettings(*state, 120);
    EXPECT_EQ(state->columnLabels[1], "数据");
    EXPECT_EQ(state->columnWidths[0], 321);
}

TEST_F(LanguageSettlementTest, LanguageDialogRules) {
    AppSettings settings(folder.File("sys/sys.ini"));
    // Opening on a system that is not Chinese writes English first.
    LanguageDialogModel other(settings, box, false);
    EXPECT_EQ(other.Open(), LanguageDialogModel::kEnglish);
    auto checked = LanguageDialogModel::kChinese;
    EXPECT_FALSE(other.Accept(checked));
    EXPECT_EQ(checked, LanguageDialogModel::kEnglish);
    EXPECT_EQ(box.texts.back(),
              "Your computer OS doesn't support the Chinese version. \r\n Seting is "
              "non-effective!!");
    EXPECT_TRUE(other.Accept(checked));

    LanguageDialogModel chinese(settings, box, true);
    checked = LanguageDialogModel::kChinese;
    EXPECT_TRUE(chinese.Accept(checked));
    EXPECT_EQ(settings.Language(), 1);
    EXPECT_EQ(chinese.Open(), LanguageDialogModel::kChinese);
}

}  // namespace
}  // namespace tarvo
