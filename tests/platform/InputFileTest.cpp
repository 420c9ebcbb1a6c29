#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/InputFile.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

TEST(InputFileTest, ReadsUpToTheLimitAndRefusesWhatCannotBeAnInputFile) {
    test::TempFolder folder;
    const std::string file = folder.Path() + "/list.cdo";
    std::ofstream(file, std::ios::binary) << std::string(100, 'x');

    std::string content = "old";
    EXPECT_EQ(InputFile::Read(file, content, 100), "");
    EXPECT_EQ(content, std::string(100, 'x'));

    content = "old";
    EXPECT_EQ(InputFile::Read(file, content, 99),
              file +
                  " is 100 bytes, far larger than such a file can be (at most 99); it was "
                  "not read");
    EXPECT_EQ(content, "old");

    const std::string fifo = folder.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(InputFile::Read(fifo, content), fifo + " is not a regular file");
    EXPECT_EQ(InputFile::Read(folder.Path(), content), folder.Path() + " is not a regular file");
    EXPECT_EQ(InputFile::Read(folder.Path() + "/missing", content),
              "cannot read " + folder.Path() + "/missing: No such file or directory");
    EXPECT_EQ(content, "old");
}

}  // namespace
}  // namespace tarvo
