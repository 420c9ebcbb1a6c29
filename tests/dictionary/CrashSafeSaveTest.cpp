// A process killed at a random moment while it saves leaves either the old file or the
// complete new one, never a mix: a settings file, a project, a parameter file and an
// oscilloscope record file. The number of kills is
// TARVO_KILL_ROUNDS (a few in the normal suite, 1,000 in scripts/longrun).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>

#include "dictionary/ObjectDictionary.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "panels/ParameterList.h"
#include "platform/AppSettings.h"
#include "platform/AtomicFile.h"
#include "tests/support/TempFolder.h"
#include "transfer/ParameterFile.h"

namespace tarvo {
namespace {

int Rounds() {
    const char* text = std::getenv("TARVO_KILL_ROUNDS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 12;
}

// Saves version 0 and 1 of a file in turn: `save(version, folder)`.
using Saver = std::function<void(int version, const std::string& folder)>;

class CrashSafeSaveTest : public ::testing::Test {
protected:
    // The file after saving the versions in the order 0, 1, 0 (when it ends on 0) and
    // 0, 1 (on 1): a killed saver must leave one of them.
    void KillWhileSaving(const Saver& save, const std::string& name) {
        std::string stable[2];
        for (int version : {0, 1, 0}) {
            save(version, reference.Path());
            stable[version] = reference.Read(name);
        }
        std::mt19937 random(12345);
        for (int round = 0, rounds = Rounds(); round < rounds; ++round) {
            test::TempFolder work;
            int ready[2];
            ASSERT_EQ(::pipe(ready), 0);
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                save(0, work.Path());
                save(1, work.Path());
                (void)!::write(ready[1], "r", 1);
                for (int version = 0;; version ^= 1) {
                    save(version, work.Path());
                }
            }
            ::close(ready[1]);
            pollfd wait{ready[0], POLLIN, 0};
            ASSERT_EQ(::poll(&wait, 1, 60000), 1) << "the saver never got ready";
            ::close(ready[0]);
            ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            std::string left = work.Read(name);
            ASSERT_TRUE(left == stable[0] || left == stable[1])
                << "round " << round << " left " << left.size() << " bytes";
            // The next save clears what the killed one left behind.
            save(0, work.Path());
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work.Path()),
                                    std::filesystem::directory_iterator()),
                      1);
        }
    }

    test::TempFolder reference;
};

TEST_F(CrashSafeSaveTest, SettingsFile) {
    KillWhileSaving(
        [](int version, const std::string& folder) {
            // A large file, so that a kill often lands inside its writing.
            AppSettings settings(folder + "/sys.ini");
            if (settings.File().GetString("other", "key0", "", 8).empty()) {
                std::vector<ProfileFile::KeyValue> lines;
                for (int i = 0; i < 3000; ++i) {
                    lines.push_back({"key" + std::to_string(i), std::string(40, 'v')});
                }
                settings.File().WriteStrings("other", lines);
            }
            settings.SetLanguage(version + 1);
        },
        "sys.ini");
}

TEST_F(CrashSafeSaveTest, Project) {
    ObjectDictionary dictionary;
    UnitTable units(nullptr);
    KillWhileSaving(
        [&](int version, const std::string& folder) {
            // Version 0 has 300 rows, version 1 has 200: "num" must match the rows.
            ParameterList list;
            for (int row = 0; row < (version == 0 ? 300 : 200); ++row) {
                int at = list.InsertRow(row, std::to_string(row + 1));
                list.SetText(at, ParameterList::kKeyColumn, std::to_string(0x60810000 + row));
                list.SetText(at, ParameterList::kValueColumn, version == 0 ? "old" : "new");
                list.SetText(at, ParameterList::kUnitColumn, "DEC");
            }
            ProjectSections sections(dictionary, units, nullptr);
            sections.SetSavePath(folder + "/plant.ksp");
            sections.SaveListRows(list, 12);
        },
        "plant.ksp");
}

TEST_F(CrashSafeSaveTest, ParameterFileAndRecordFile) {
    // An export of 2,000 rows, saved as the export dialog and tarvoctl export save it.
    KillWhileSaving(
        [](int version, const std::string& folder) {
            std::vector<ParameterFile::Line> lines;
            for (int row = 0; row < 2000; ++row) {
                lines.push_back({std::to_string(0x60810020 + row), std::to_string(row + version),
                                 version == 0 ? "True" : "Fail"});
            }
            ASSERT_EQ(AtomicFile::Write(folder + "/drive.cdi", ParameterFile::Format(lines)), "");
        },
        "drive.cdi");
    // A full capture of four channels.
    KillWhileSaving(
        [](int version, const std::string& folder) {
            ScopeRecord record;
            record.number = 2000;
            record.time = 1 + version;
            for (int i = 0; i < record.number; ++i) {
                record.samples.push_back({0xF, {double(i), double(version), -double(i), 0.5}});
            }
            ASSERT_EQ(ScopeRecordFile::Write(folder + "/run.txt", record), "");
        },
        "run.txt");
}

}  // namespace
}  // namespace tarvo
