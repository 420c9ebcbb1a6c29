#include "dictionary/SdoListModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <set>
#include <tuple>

#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

struct PickRecorder : MessageTarget {
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        received.push_back({message, wParam, lParam});
        return 0;
    }
    std::vector<std::tuple<uint32_t, uintptr_t, intptr_t>> received;
};

class SdoListModelTest : public ::testing::Test {
protected:
    // Entries as (index, subindex, English name, Chinese name in GBK).
    void Load(const std::vector<std::array<std::string, 4>>& entries, int language = 2) {
        std::string data;
        for (const auto& e : entries) {
            test::RecordTexts t;
            t.index = e[0];
            t.subIndex = e[1];
            t.nameEn = e[2];
            t.nameZh = e[3].empty() ? e[2] : e[3];
            data += test::Record(t);
        }
        // A data file without entries is reported as giving no dictionary.
        ASSERT_EQ(dictionary.LoadFile(folder.Write("tarvo.dat", data), language, &box),
                  !entries.empty());
        model.Fill();
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < model.RowCount(); ++i) {
            names.push_back(model.RowAt(i).name);
        }
        return names;
    }

    test::TempFolder folder;
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    SdoListModel model{dictionary, box};
};

// The drive tool's selection sort: for distinct keys the browser's order must equal it.
std::vector<std::string> SelectionSorted(std::vector<std::string> keys) {
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        size_t smallest = i + 1;
        for (size_t j = i + 2; j < keys.size(); ++j) {
            if (keys[j] < keys[smallest]) {
                smallest = j;
            }
        }
        if (keys[smallest] < keys[i]) {
            std::swap(keys[i], keys[smallest]);
        }
    }
    return keys;
}

TEST_F(SdoListModelTest, FillsInDictionaryOrderAndSortsByTextKeys) {
    Load({{"6081", "00", "beta", ""},
          {"1A00", "02", "Zeta", ""},
          {"1a00", "01", "alpha", ""},
          {"6041", "00", "Alpha", ""},
          {"2000", "0A", "alpha", ""}});
    ASSERT_EQ(model.RowCount(), 5);
    EXPECT_EQ(model.RowAt(2).indexText, "1A00");  // upper-case hexadecimal digits
    EXPECT_EQ(model.RowAt(4).subText, "0A");
    EXPECT_EQ(model.RowAt(2).key, 0x1A0001u);
    EXPECT_EQ(model.SortChoice(), SdoListModel::kSortByIndex);
    EXPECT_FALSE(model.SetSortChoice(SdoListModel::kSortByIndex));  // already the choice
    EXPECT_EQ(Names(), (std::vector<std::string>{"beta", "Zeta", "alpha", "Alpha", "alpha"}));

    // Upper case before lower case; equal names keep their order (2000:0A after 1A00:01).
    EXPECT_TRUE(model.SetSortChoice(SdoListModel::kSortByName));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Alpha", "Zeta", "alpha", "alpha", "beta"}));
    EXPECT_EQ(model.RowAt(2).key, 0x1A0001u);
    EXPECT_EQ(model.RowAt(3).key, 0x20000Au);

    EXPECT_TRUE(model.SetSortChoice(SdoListModel::kSortByIndex));
    std::vector<uint32_t> keys;
    for (int i = 0; i < model.RowCount(); ++i) {
        keys.push_back(model.RowAt(i).key);
    }
    EXPECT_EQ(keys, (std::vector<uint32_t>{0x1A0001, 0x1A0002, 0x20000A, 0x604100, 0x608100}));
    EXPECT_FALSE(model.SetSortChoice(7));
}

TEST_F(SdoListModelTest, ChineseNamesSortByCodePointAfterLatin) {
    // 速度 (U+901F), 位置 (U+4F4D), 模式 (U+6A21), in GBK as the data file holds them.
    Load({{"6081", "00", "v", "\xCB\xD9\xB6\xC8"},
          {"6064", "00", "p", "\xCE\xBB\xD6\xC3"},
          {"6060", "00", "m", "Mode \xC4\xA3\xCA\xBD"},
          {"6061", "00", "m2", "\xC4\xA3\xCA\xBD"}},
         1);
    model.SetSortChoice(SdoListModel::kSortByName);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Mode 模式", "位置", "模式", "速度"}));
}

TEST_F(SdoListModelTest, OrderEqualsTheSelectionSortForDistinctKeys) {
    std::mt19937 random(7);
    std::vector<std::array<std::string, 4>> entries;
    // Characters as the data file holds English names (Windows-1252) and as they are shown.
    const std::pair<const char*, const char*> letters[] = {{"a", "a"},
                                                           {"A", "A"},
                                                           {"b", "b"},
                                                           {"B", "B"},
                                                           {"z", "z"},
                                                           {"Z", "Z"},
                                                           {"_", "_"},
                                                           {"0", "0"},
                                                           {"9", "9"},
                                                           {" ", " "},
                                                           {"\xE4", "\xC3\xA4"},
                                                           {"\xC4", "\xC3\x84"},
                                                           {"\x80", "\xE2\x82\xAC"}};
    std::set<std::string> used;
    std::vector<std::string> names;
    while (entries.size() < 300) {
        std::string name, shown;
        for (int n = 1 + random() % 6; n > 0; --n) {
            const auto& letter = letters[random() % std::size(letters)];
            name += letter.first;
            shown += letter.second;
        }
        char index[8];
        std::snprintf(index, sizeof index, "%04X", static_cast<unsigned>(random() % 0x10000));
        if (used.insert(name).second && used.insert(index).second) {
            entries.push_back({index, "00", name, ""});
            names.push_back(shown);
        }
    }
    Load(entries);
    // The expected orders come from the generated entries alone: names as they are shown,
    // keys as the numbers of the indexes (four upper-case hex digits, subindex 00).
    std::vector<uint32_t> keys;
    for (const auto& e : entries) {
        keys.push_back(static_cast<uint32_t>(std::stoul(e[0], nullptr, 16)) << 8);
    }
    std::sort(keys.begin(), keys.end());
    model.SetSortChoice(SdoListModel::kSortByName);
    EXPECT_EQ(Names(), SelectionSorted(names));
    model.SetSortChoice(SdoListModel::kSortByIndex);
    std::vector<uint32_t> sorted;
    for (int i = 0; i < model.RowCount(); ++i) {
        sorted.push_back(model.RowAt(i).key);
    }
    EXPECT_EQ(sorted, keys);
}

TEST_F(SdoListModelTest, FindNextWrapsOnceAndReportsNotFound) {
    std::vector<std::array<std::string, 4>> entries;
    for (int i = 0; i < 12; ++i) {
        char index[8];
        std::snprintf(index, sizeof index, "%04X", 0x2000 + i);
        entries.push_back({index, "00", i == 3 || i == 9 ? "Target Speed" : "other", ""});
    }
    entries[0][2] = "first only";
    Load(entries);

    EXPECT_EQ(model.FindNext("speed"), 3);
    EXPECT_EQ(model.FindNext("SPEED"), 9);  // same text ignoring case: goes on
    EXPECT_EQ(model.FindNext("sPeEd"), 3);
    EXPECT_EQ(model.FindNext("speed"), 9);
    EXPECT_EQ(model.SelectedRow(), 9);
    EXPECT_EQ(model.HelpRow(), 9);

    EXPECT_EQ(model.FindNext("first"), 0);  // new text starts from the top
    EXPECT_EQ(model.FindNext("first"), 0);  // found only in row 0: wraps back to it
    EXPECT_TRUE(box.texts.empty());

    EXPECT_EQ(model.FindNext("absent"), std::nullopt);
    EXPECT_EQ(box.texts, (std::vector<std::string>{"Not Found!!"}));
    EXPECT_EQ(model.SelectedRow(), 0);  // selection unchanged

    EXPECT_EQ(model.FindNext(""), std::nullopt);  // forgets the text, no message
    EXPECT_EQ(box.texts.size(), 1u);
}

TEST_F(SdoListModelTest, HelpTextListsEveryAttribute) {
    DictionaryEntry entry;
    entry.index = 0x6081;
    entry.subIndex = 0x0A;
    entry.name = "Profile velocity";
    entry.dataType = "UNSIGNED32";
    entry.attribute = "LWSM";
    entry.modbusAddress = 0x1B;
    entry.help = "Line one\nSpeed。Then more";
    EXPECT_EQ(SdoListModel::EntryHelp(entry),
              "\r\n\r\nIndex: 0x6081\r\nSub Index: 0x0A\r\nName: Profile velocity"
              "\r\nData Type: UNSIGNED32\r\nAttribute: real-update write save mapping"
              "\r\nModbus address: 0x001B\r\nOperator Help:\r\nLine one\r\nSpeed。\r\nThen more");

    auto attributeLine = [&](const char* letters) {
        entry.attribute = letters;
        entry.modbusAddress = 0;
        std::string text = SdoListModel::EntryHelp(entry);
        size_t from = text.find("Attribute: ") + 11;
        return text.substr(from, text.find("\r\nModbus") - from) +
               (text.find("Modbus address: none") != std::string::npos ? "|none" : "");
    };
    EXPECT_EQ(attributeLine("RW"), "write |none");
    EXPECT_EQ(attributeLine("LS"), "real-update save |none");
    EXPECT_EQ(attributeLine("RSM"), "only readable|none");
}

TEST_F(SdoListModelTest, SelectionRebuildsHelpAndPickSendsTheKey) {
    Load({{"6040", "00", "Control word", ""}, {"6081", "00", "Profile velocity", ""}});
    EXPECT_EQ(model.HelpRow(), 0);  // creation shows row 0's help
    EXPECT_NE(model.HelpText().find("Name: Control word"), std::string::npos);
    EXPECT_FALSE(model.Select(0));  // help already shown for it
    EXPECT_TRUE(model.Select(1));
    EXPECT_NE(model.HelpText().find("Name: Profile velocity"), std::string::npos);

    // Sorting moves another entry under the selected row: the help follows it.
    model.SetSortChoice(SdoListModel::kSortByName);
    EXPECT_EQ(model.RowAt(1).name, "Profile velocity");
    model.SetSortChoice(SdoListModel::kSortByIndex);

    PickRecorder target;
    EXPECT_EQ(model.Pick(&target), 0x608100u);
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(target.received[0],
              std::make_tuple(uint32_t{WM_OBJECT_PICKED}, uintptr_t{0}, intptr_t{0x608100}));
    EXPECT_EQ(model.Pick(nullptr), std::nullopt);
    model.Select(-1);
    EXPECT_EQ(model.Pick(&target), std::nullopt);
    EXPECT_EQ(target.received.size(), 1u);
}

TEST_F(SdoListModelTest, EmptyDictionaryFindsNothing) {
    Load({});
    EXPECT_EQ(model.RowCount(), 0);
    EXPECT_EQ(model.FindNext("x"), std::nullopt);
    EXPECT_EQ(model.HelpText(), "");
    EXPECT_EQ(model.Pick(nullptr), std::nullopt);
}

}  // namespace
}  // namespace tarvo
