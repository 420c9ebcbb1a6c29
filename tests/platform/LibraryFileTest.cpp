#include "platform/LibraryFile.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

TEST(LibraryFileTest, RefusesWhatTheLoaderWouldHangOrCrashOn) {
    const char* stage = std::getenv("TARVO_STAGE");
    ASSERT_NE(stage, nullptr);
    const std::string library = std::string(stage) + "/data/libCOM.so";
    test::TempFolder folder;
    std::string error;

    void* handle = LibraryFile::Open(library, error);
    ASSERT_NE(handle, nullptr) << error;
    EXPECT_NE(::dlsym(handle, "CreateObject"), nullptr);
    ::dlclose(handle);
    EXPECT_EQ(LibraryFile::Diagnose(library), "");

    // Cut in its header, in its program header table, and inside a segment.
    std::ifstream in(library, std::ios::binary);
    const std::string whole(std::istreambuf_iterator<char>(in), {});
    for (size_t length : {size_t{40}, size_t{100}, size_t{5000}}) {
        std::string cut = folder.Write("cut.so", whole.substr(0, length));
        EXPECT_EQ(LibraryFile::Open(cut, error), nullptr) << length;
        EXPECT_NE(error.find("truncated"), std::string::npos) << length << ": " << error;
    }

    ASSERT_EQ(::mkfifo(folder.File("fifo.so").c_str(), 0644), 0);
    EXPECT_EQ(LibraryFile::Diagnose(folder.File("fifo.so")), "it is not a regular file");
    EXPECT_EQ(LibraryFile::Diagnose(folder.File("none.so")), "No such file or directory");
    // Not ELF at all: the loader's own message.
    EXPECT_NE(LibraryFile::Diagnose(folder.Write("text.so", "hello, this is no library")), "");
}

}  // namespace
}  // namespace tarvo
