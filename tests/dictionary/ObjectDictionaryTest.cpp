#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

using test::Record;
using test::RecordTexts;

class ObjectDictionaryTest : public ::testing::Test {
protected:
    std::string WriteData(const std::string& bytes) {
        return folder.Write("data/tarvo.dat", bytes);
    }

    test::TempFolder folder;
    RecordingMessageBox box;
    ObjectDictionary dictionary;
};

TEST_F(ObjectDictionaryTest, DecodesRecordsInFileOrder) {
    RecordTexts t;
    t.index = "6081";
    t.subIndex = "00";
    t.nameEn = "Profile velocity";
    t.dataType = "UNSIGNED32";
    t.attribute = "WSM";
    t.helpEn = "Velocity of a profile move.";
    t.unitSpec = "[rpm]N*60/512";
    t.modbus = "1A2b";
    WriteData(Record(t) + Record("6041", "00", "Status word"));
    ASSERT_TRUE(dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box));
    ASSERT_EQ(dictionary.EntryCount(), 2);
    auto e = dictionary.EntryAt(0);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->key, 0x608100u);
    EXPECT_EQ(e->index, 0x6081);
    EXPECT_EQ(e->name, "Profile velocity");
    EXPECT_EQ(e->dataType, "UNSIGNED32");
    EXPECT_EQ(e->attribute, "WSM");
    EXPECT_EQ(e->help, "Velocity of a profile move.");
    EXPECT_EQ(e->unitSpec, "[rpm]N*60/512");
    EXPECT_EQ(e->modbusAddress, 0x1A2Bu);
    EXPECT_EQ(dictionary.EntryAt(1)->name, "Status word");
    EXPECT_FALSE(dictionary.EntryAt(2));
    EXPECT_FALSE(dictionary.EntryAt(-1));
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(ObjectDictionaryTest, LanguageColumns) {
    RecordTexts t;
    t.helpZh = "\xCB\xD9\xB6\xC8";  // 速度
    t.helpEn = "speed";
    WriteData(Record(t));
    ObjectDictionary chinese;
    chinese.LoadFile(folder.File("data/tarvo.dat"), 1, &box);
    EXPECT_EQ(chinese.EntryAt(0)->name, "控制字");
    EXPECT_EQ(chinese.EntryAt(0)->help, "速度");
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 3, &box);
    EXPECT_EQ(dictionary.EntryAt(0)->name, "Control word");
}

TEST_F(ObjectDictionaryTest, StopRules) {
    // An index of zeros, an empty one or one without hex digits ends the dictionary.
    for (const char* end : {"0000", "", "zzzz"}) {
        ObjectDictionary d;
        WriteData(Record("6040", "00") + Record(end, "00") + Record("6041", "00"));
        d.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
        EXPECT_EQ(d.EntryCount(), 1) << "index text \"" << end << "\"";
    }
}

// A data file that gives no dictionary is reported with its reason, never taken silently as
// an empty dictionary.
TEST_F(ObjectDictionaryTest, FilesThatHoldNoEntryAreReported) {
    const std::string path = folder.File("data/tarvo.dat");
    std::string random(3 * 4514, '\0');
    for (size_t i = 0; i < random.size(); ++i) {
        random[i] = static_cast<char>((i * 7919 + 13) % 251 + 1);  // never a record's index
    }
    struct Case {
        std::string bytes;
        std::string reason;
    } cases[] = {{"", path + " holds no dictionary entry"},
                 {std::string(9000, '\0'), path + " holds no dictionary entry"},
                 {random, path + " holds no dictionary entry"},
                 {Record("zz", "00"), path + " holds no dictionary entry"}};
    for (const Case& c : cases) {
        WriteData(c.bytes);
        ObjectDictionary d;
        RecordingMessageBox messages;
        EXPECT_FALSE(d.LoadFile(path, 2, &messages)) << c.bytes.size() << " bytes";
        EXPECT_EQ(d.LoadProblem(), c.reason);
        EXPECT_EQ(messages.texts,
                  std::vector<std::string>{"Couldn't load DB file!! \n" + c.reason});
        EXPECT_TRUE(d.IsLoaded());
    }
    // Far larger than any data file: refused at once with its size.
    ASSERT_EQ(::truncate(path.c_str(), ObjectDictionary::kDataFileLimit + 1), 0);
    ObjectDictionary huge;
    EXPECT_FALSE(huge.LoadFile(path, 2, &box));
    EXPECT_NE(
        huge.LoadProblem().find(std::to_string(ObjectDictionary::kDataFileLimit + 1) + " bytes"),
        std::string::npos);
    EXPECT_EQ(huge.EntryCount(), 0);
}

TEST_F(ObjectDictionaryTest, LenientIndexTexts) {
    WriteData(Record("60 4", "02") + Record("-1", "1") + Record("6041", "-1"));
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
    ASSERT_EQ(dictionary.EntryCount(), 3);
    EXPECT_EQ(dictionary.EntryAt(0)->index, 0x604);
    EXPECT_EQ(dictionary.EntryAt(1)->index, -1);
    // Only the low 8 bits of the subindex count.
    EXPECT_EQ(dictionary.EntryAt(2)->subIndex, 0xFF);
    EXPECT_EQ(dictionary.EntryAt(2)->key, 0x6041FFu);
}

// One record laid out by hand at the documented offsets, not by the production encoder.
std::string HandBuiltRecord() {
    std::string bytes(4514, '\0');
    auto put = [&bytes](size_t offset, std::string_view text) {
        bytes.replace(offset, text.size(), text);
    };
    put(0, "6041");
    put(4, "02");
    put(6, "\xD7\xB4\xCC\xAC");  // 状态 in GBK
    put(70, "Status word");
    put(134, "UNSIGNED16");
    put(150, "LS");
    put(158, "\xCB\xD9");  // 速 in GBK
    put(2206, "Help text");
    put(4254, "[HEX]N*1");
    put(4510, "1A2B");
    return bytes;
}

TEST_F(ObjectDictionaryTest, HandBuiltRecordPinsTheLayout) {
    WriteData(HandBuiltRecord());
    ObjectDictionary chinese;
    chinese.LoadFile(folder.File("data/tarvo.dat"), 1, &box);
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
    ASSERT_EQ(dictionary.EntryCount(), 1);
    DictionaryEntry e = *dictionary.EntryAt(0);
    EXPECT_EQ(e.key, 0x604102u);
    EXPECT_EQ(e.name, "Status word");
    EXPECT_EQ(e.dataType, "UNSIGNED16");
    EXPECT_EQ(e.attribute, "LS");
    EXPECT_EQ(e.help, "Help text");
    EXPECT_EQ(e.unitSpec, "[HEX]N*1");
    EXPECT_EQ(e.modbusAddress, 0x1A2Bu);
    EXPECT_EQ(chinese.EntryAt(0)->name, "状态");
    EXPECT_EQ(chinese.EntryAt(0)->help, "速");
    std::string encoded = Record({"6041", "02", "\xD7\xB4\xCC\xAC", "Status word", "UNSIGNED16",
                                  "LS", "\xCB\xD9", "Help text", "[HEX]N*1", "1A2B"});
    EXPECT_TRUE(encoded == HandBuiltRecord());
}

TEST_F(ObjectDictionaryTest, TruncatedLastRecordKeepsTheFieldsThatWereRead) {
    const std::string full = Record("6040", "00");
    const std::string cut = HandBuiltRecord();
    struct Case {
        size_t length;
        int entries;
        std::string name;
        uint32_t modbus;
    };
    // Cut inside the index: no index, so the dictionary ends before it. From a whole
    // index on the entry stays, with what its fields hold up to the cut.
    for (const Case& c :
         {Case{1, 1, "", 0}, Case{3, 1, "", 0}, Case{4, 2, "", 0}, Case{6, 2, "", 0},
          Case{75, 2, "Statu", 0}, Case{4510, 2, "Status word", 0},
          Case{4512, 2, "Status word", 0x1A}, Case{4513, 2, "Status word", 0x1A2}}) {
        ObjectDictionary d;
        WriteData(full + cut.substr(0, c.length));
        d.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
        ASSERT_EQ(d.EntryCount(), c.entries) << c.length << " bytes";
        if (c.entries == 2) {
            EXPECT_EQ(d.EntryAt(1)->index, 0x6041) << c.length << " bytes";
            EXPECT_EQ(d.EntryAt(1)->subIndex, c.length >= 6 ? 2 : 0) << c.length << " bytes";
            EXPECT_EQ(d.EntryAt(1)->name, c.name) << c.length << " bytes";
            EXPECT_EQ(d.EntryAt(1)->modbusAddress, c.modbus) << c.length << " bytes";
        }
    }
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(ObjectDictionaryTest, NonLanguageFieldsReadInTheLanguagesCodePage) {
    RecordTexts t;
    t.unitSpec = "[\xC8\xA6 r]N*1";  // 圈 in GBK: a Chinese unit label
    WriteData(Record(t));
    ObjectDictionary chinese;
    chinese.LoadFile(folder.File("data/tarvo.dat"), 1, &box);
    EXPECT_EQ(chinese.EntryAt(0)->unitSpec, "[圈 r]N*1");
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
    EXPECT_EQ(dictionary.EntryAt(0)->unitSpec, "[È¦ r]N*1");
}

TEST_F(ObjectDictionaryTest, FullFieldsHaveNoTerminator) {
    RecordTexts t;
    t.helpEn = std::string(2048, 'h');
    t.nameEn = std::string(64, 'n');
    WriteData(Record(t));
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
    EXPECT_EQ(dictionary.EntryAt(0)->help, std::string(2048, 'h'));
    EXPECT_EQ(dictionary.EntryAt(0)->name, std::string(64, 'n'));
}

TEST_F(ObjectDictionaryTest, FirstDuplicateWins) {
    WriteData(Record("6040", "00", "first") + Record("6041", "00") +
              Record("6040", "00", "second"));
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 2, &box);
    EXPECT_EQ(dictionary.FindEntry(0x604000)->name, "first");
    EXPECT_EQ(dictionary.EntryAt(2)->name, "second");
    EXPECT_FALSE(dictionary.FindEntry(0x604001));
}

TEST_F(ObjectDictionaryTest, InvalidGbkIsReplaced) {
    RecordTexts t;
    t.nameZh = "\xFF\xFF\xCB";
    WriteData(Record(t));
    dictionary.LoadFile(folder.File("data/tarvo.dat"), 1, &box);
    EXPECT_EQ(dictionary.EntryAt(0)->name, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(ObjectDictionaryTest, MissingOrUnreadableFile) {
    EXPECT_FALSE(dictionary.LoadFile(folder.File("data/none.dat"), 2, &box));
    ASSERT_EQ(box.texts.size(), 1u);
    EXPECT_EQ(box.texts[0], "Couldn't load DB file!! \ncannot read " +
                                folder.File("data/none.dat") + ": No such file or directory");
    ObjectDictionary onFolder;
    EXPECT_FALSE(onFolder.LoadFile(folder.Path(), 2, &box));
    EXPECT_EQ(box.texts.size(), 2u);
    EXPECT_EQ(onFolder.EntryCount(), 0);
    // A FIFO is refused at once instead of blocking the loader for a writer.
    ASSERT_EQ(::mkfifo(folder.File("fifo.dat").c_str(), 0644), 0);
    ObjectDictionary onFifo;
    EXPECT_FALSE(onFifo.LoadFile(folder.File("fifo.dat"), 2, &box));
    EXPECT_EQ(box.texts.size(), 3u);
    EXPECT_EQ(onFifo.LoadProblem(), folder.File("fifo.dat") + " is not a regular file");
}

class LoaderThreadTest : public ObjectDictionaryTest {
protected:
    ObjectDictionary::LoaderSettings Settings(bool chinese) {
        return {folder.File("sys/sys.ini"), folder.File("data/tarvo.dat"), &language, chinese,
                &box};
    }
    std::atomic<uint8_t> language{0};
};

TEST_F(LoaderThreadTest, WaitsForTheLanguageThenLoads) {
    WriteData(Record("6040", "00"));
    dictionary.StartLoader(Settings(true));
    EXPECT_FALSE(dictionary.WaitLoaded(std::chrono::milliseconds(250)));
    EXPECT_EQ(dictionary.EntryCount(), 0);
    folder.Write("sys/sys.ini", "[sys]\nlang=1\n");
    ASSERT_TRUE(dictionary.WaitLoaded(std::chrono::seconds(5)));
    EXPECT_EQ(language.load(), 1);
    EXPECT_EQ(dictionary.EntryAt(0)->name, "控制字");
}

TEST_F(LoaderThreadTest, SettledLanguageWithoutSettingsFileLoads) {
    // Other systems settle English at start without writing "lang"; the loader must not
    // wait for a language dialog that never comes.
    WriteData(Record("6040", "00"));
    language.store(2);
    dictionary.StartLoader(Settings(false));
    ASSERT_TRUE(dictionary.WaitLoaded(std::chrono::seconds(5)));
    EXPECT_EQ(dictionary.EntryCount(), 1);
    EXPECT_EQ(language.load(), 2);
}

TEST_F(LoaderThreadTest, ChineseSettingOnOtherSystemsGivesEnglish) {
    WriteData(Record("6040", "00"));
    folder.Write("sys/sys.ini", "[sys]\nlang=1\n");
    dictionary.StartLoader(Settings(false));
    ASSERT_TRUE(dictionary.WaitLoaded(std::chrono::seconds(5)));
    EXPECT_EQ(language.load(), 2);
    EXPECT_EQ(dictionary.EntryAt(0)->name, "entry");
}

TEST_F(LoaderThreadTest, LanguageThreeWaitsForStartUp) {
    WriteData(Record("6040", "00"));
    folder.Write("sys/sys.ini", "[sys]\nlang=3\n");
    dictionary.StartLoader(Settings(true));
    EXPECT_FALSE(dictionary.WaitLoaded(std::chrono::milliseconds(150)));
    language.store(2);
    ASSERT_TRUE(dictionary.WaitLoaded(std::chrono::seconds(5)));
    EXPECT_EQ(dictionary.EntryAt(0)->name, "entry");
}

TEST_F(LoaderThreadTest, StoppingWhileWaitingEndsTheThread) {
    auto waiting = std::make_shared<ObjectDictionary>();
    waiting->StartLoader(Settings(true));
    // The language is never written: stopping must still end the loader, from any thread.
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([waiting, stopped] {
        waiting->StopLoader();
        stopped->set_value();
    }).detach();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_TRUE(waiting->IsLoaded());
    EXPECT_EQ(waiting->EntryCount(), 0);
    EXPECT_EQ(language.load(), 0);
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(LoaderThreadTest, LookupsDuringLoadingSeeAPrefix) {
    std::string bytes;
    const int count = 5000;
    for (int i = 0; i < count; ++i) {
        char index[8];
        std::snprintf(index, sizeof index, "%04X", 0x1000 + i);
        bytes += Record(index, "00");
    }
    WriteData(bytes);
    folder.Write("sys/sys.ini", "[sys]\nlang=2\n");
    dictionary.StartLoader(Settings(false));
    // Whatever is found while loading is a consistent prefix of the file.
    int lastCount = 0;
    while (!dictionary.IsLoaded()) {
        int n = dictionary.EntryCount();
        EXPECT_GE(n, lastCount);
        if (n > 0) {
            auto last = dictionary.EntryAt(n - 1);
            ASSERT_TRUE(last);
            EXPECT_EQ(last->index, 0x1000 + n - 1);
            EXPECT_TRUE(dictionary.FindEntry(last->key));
        }
        lastCount = n;
    }
    EXPECT_EQ(dictionary.EntryCount(), count);
}

}  // namespace
}  // namespace tarvo
