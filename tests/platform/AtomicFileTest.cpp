#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "tests/platform/FileFaults.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { test::FileFaults::Disarm(); }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& item : fs::directory_iterator(folder.Path())) {
            names.insert(item.path().filename().string());
        }
        return names;
    }
    mode_t Mode(const std::string& name) const {
        struct stat st {};
        ::stat(folder.File(name).c_str(), &st);
        return st.st_mode & 07777;
    }

    test::TempFolder folder;
};

// A process id that no process has any more.
long DeadPid() {
    pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST_F(AtomicFileTest, ReplacesKeepingModeAndSyncsFileThenFolder) {
    auto path = folder.Write("f.ini", "old");
    ::chmod(path.c_str(), 0640);
    test::FileFaults::Clear();
    EXPECT_EQ(AtomicFile::Write(path, "new"), "");
    EXPECT_EQ(folder.Read("f.ini"), "new");
    EXPECT_EQ(Mode("f.ini"), 0640u);
    EXPECT_EQ(test::FileFaults::Syncs(), "fd");
    EXPECT_EQ(Names(), std::set<std::string>{"f.ini"});

    ::umask(027);
    EXPECT_EQ(AtomicFile::Write(folder.File("n.ini"), ""), "");
    EXPECT_EQ(Mode("n.ini"), 0640u);  // a new file as the creation mask gives it
    ::umask(022);
}

TEST_F(AtomicFileTest, EveryFailingStepKeepsTheOldFileAndLeavesNoTemporary) {
    auto path = folder.Write("f.ini", "old");
    for (const char* call : {"mkostemp", "fchmod", "write", "fsync", "rename"}) {
        test::FileFaults::Arm(call, ENOSPC);
        std::string error = AtomicFile::Write(path, "new content");
        test::FileFaults::Disarm();
        EXPECT_NE(error.find(path), std::string::npos) << call;
        EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << call;
        EXPECT_EQ(folder.Read("f.ini"), "old") << call;
        EXPECT_EQ(Names(), std::set<std::string>{"f.ini"}) << call;
    }
    // The settings writer reports the failure too.
    test::FileFaults::Arm("rename", EACCES);
    EXPECT_FALSE(ProfileFile(path).WriteString("a", "x", "2"));
    test::FileFaults::Disarm();
    EXPECT_EQ(folder.Read("f.ini"), "old");
}

TEST_F(AtomicFileTest, RemovesOnlyStaleTemporariesOfItsTarget) {
    auto path = folder.Write("f.ini", "old");
    const std::string dead = AtomicFile::TemporaryPrefix("f.ini", DeadPid());
    const std::string own = AtomicFile::TemporaryPrefix("f.ini", ::getpid());
    const std::string parent = AtomicFile::TemporaryPrefix("f.ini", ::getppid());
    for (const std::string& name : {dead + "a1B2c3", own + "a1B2c3", parent + "a1B2c3",
                                    dead + "short", std::string("f.ini.backup"),
                                    AtomicFile::TemporaryPrefix("g.ini", DeadPid()) + "a1B2c3"}) {
        folder.Write(name, "x");
    }
    ASSERT_EQ(AtomicFile::Write(path, "new"), "");
    std::set<std::string> names = Names();
    EXPECT_EQ(names.count(dead + "a1B2c3"), 0u);  // its writer was killed
    EXPECT_EQ(names.size(), 6u);                  // the others belong to living writers or files
}

TEST_F(AtomicFileTest, RefusesWhatIsNoRegularFileAndWritesThroughLinks) {
    auto fifo = folder.File("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string content = "kept";
    EXPECT_FALSE(AtomicFile::Read(fifo, content));  // returns at once, no writer needed
    EXPECT_EQ(content, "kept");
    EXPECT_NE(AtomicFile::Write(fifo, "x").find("not a regular file"), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_FALSE(AtomicFile::Read(folder.Path(), content));

    auto real = folder.Write("real.ini", "old");
    fs::create_symlink(real, folder.File("link.ini"));
    ASSERT_EQ(AtomicFile::Write(folder.File("link.ini"), "new"), "");
    EXPECT_TRUE(fs::is_symlink(folder.File("link.ini")));
    EXPECT_EQ(folder.Read("real.ini"), "new");
}

}  // namespace
}  // namespace tarvo
