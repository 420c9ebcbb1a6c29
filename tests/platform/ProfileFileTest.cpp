#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ProfileFile.h"
#include "platform/TextCase.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    test::TempFolder folder;
};

// The names a lookup may ask for in a file: every header's and key's as written and names
// the file lacks; with `variants`, each also in other letter cases and with blanks.
std::vector<std::string> NamesToAsk(const std::vector<std::string>& found, bool variants) {
    std::vector<std::string> names = {"", "none", "num", "TarvoStep:1"};
    for (const std::string& name : found) {
        names.push_back(name);
        if (variants) {
            std::string upper = name;
            for (char& c : upper) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            names.insert(names.end(), {upper, Lower(name), " " + name + "\t"});
        }
    }
    return names;
}

// The reading held in memory gives every key of every section as the reader that walks the
// file's lines for each key does.
void ExpectSameAnswers(const std::string& path, std::string_view bytes, bool variants) {
    ProfileFile walk(path);
    ProfileFile once = ProfileFile::FromContent(path, bytes);
    std::vector<std::string> headers;
    for (const std::string& line : ProfileFile::DecodeLines(bytes)) {
        if (auto name = ProfileIndex::SectionOf(line)) {
            headers.emplace_back(*name);
        }
    }
    for (const std::string& section : NamesToAsk(headers, variants)) {
        std::vector<std::string> keys = walk.GetKeys(section);
        ASSERT_EQ(once.GetKeys(section), keys) << path << " [" << section << "]";
        EXPECT_EQ(once.SectionProblem(section), ProfileFile::ReadOnce(path).SectionProblem(section))
            << path;
        for (const std::string& key : NamesToAsk(keys, variants)) {
            ASSERT_EQ(once.GetString(section, key, " d ", 4096),
                      walk.GetString(section, key, " d ", 4096))
                << path << " [" << section << "] " << key;
        }
    }
}

TEST_F(ProfileFileTest, ReadsWithProfileRules) {
    auto path = folder.Write("a.ini",
                             "[Sys]\r\n  LANG =  2  \r\nlang=1\r\n[com]\nbuadrate = \"115200\"\n"
                             "noequals\n[sys]\ncomm=5\n");
    ProfileFile file(path);
    // Case-insensitive names, trimmed values, first key and first section win.
    EXPECT_EQ(file.GetString("sys", "lang", "", 4), "2");
    EXPECT_EQ(file.GetString("SYS", "comm", "x", 4), "x");
    EXPECT_EQ(file.GetString("com", "BUADRATE", "", 16), "115200");
    EXPECT_EQ(file.GetString("com", "noequals", "dflt", 16), "dflt");
    EXPECT_EQ(file.GetString("none", "lang", "  d  ", 16), "d");
    // Names given with blanks around them are trimmed, for reading as for writing: a value
    // written under " s " is read back under the same name (found by fuzzing).
    EXPECT_EQ(file.GetString(" sys ", " lang\t", "", 4), "2");
    ASSERT_TRUE(file.WriteStrings(" new ", {{" k ", "v"}}));
    EXPECT_EQ(file.GetString(" new ", " k ", "", 4), "v");
    EXPECT_EQ(file.GetKeys(" new "), std::vector<std::string>{"k"});
}

TEST_F(ProfileFileTest, CutsValuesToTheBuffer) {
    auto path = folder.Write("a.ini", "[s]\nk=123456\nzh=名称数据\n");
    ProfileFile file(path);
    EXPECT_EQ(file.GetString("s", "k", "", 4), "123");
    EXPECT_EQ(file.GetString("s", "k", "", 1), "");
    EXPECT_EQ(file.GetString("s", "k", "", 0), "");
    // Buffers count characters, not bytes: a Chinese character is never split.
    EXPECT_EQ(file.GetString("s", "zh", "", 3), "名称");
}

TEST_F(ProfileFileTest, ReadsGbkAndBomFiles) {
    // "名称" in GBK.
    auto gbk = folder.Write("gbk.ini", "[s]\nname=\xC3\xFB\xB3\xC6\n");
    EXPECT_EQ(ProfileFile(gbk).GetString("s", "name", "", 32), "名称");
    auto bom = folder.Write("bom.ini", "\xEF\xBB\xBF[s]\nname=x\n");
    EXPECT_EQ(ProfileFile(bom).GetString("s", "name", "", 32), "x");
}

TEST_F(ProfileFileTest, Utf16FilesWithTheirMarkAreRead) {
    // "[s]\nname=名" in UTF-16 LE and BE.
    auto le = folder.Write("le.ini", std::string("\xFF\xFE[\0s\0]\0\n\0n\0=\0\x0D\x54", 16));
    EXPECT_EQ(ProfileFile::ReadOnce(le).GetString("s", "n", "", 32), "名");
    EXPECT_EQ(ProfileFile::ReadOnce(le).SectionProblem("s"), "");
    auto be = folder.Write("be.ini", std::string("\xFE\xFF\0[\0s\0]\0\n\0n\0=\x54\x0D", 16));
    EXPECT_EQ(ProfileFile(be).GetString("s", "n", "", 32), "名");
    // A lone high surrogate is replaced, never passed on.
    auto lone = folder.Write("lone.ini", std::string("\xFF\xFE[\0s\0]\0\n\0n\0=\0\x00\xD8", 16));
    EXPECT_EQ(ProfileFile(lone).GetString("s", "n", "", 32), "\xEF\xBF\xBD");
}

// A read-once file answers from its one reading; a file far too large is refused before it
// is read, for reading and for writing, and the refusal names its size.
TEST_F(ProfileFileTest, ReadOnceHoldsItsReadingAndRefusesHugeFiles) {
    auto path = folder.Write("a.ini", "[s]\nk=1\n");
    ProfileFile once = ProfileFile::ReadOnce(path);
    folder.Write("a.ini", "[s]\nk=2\n");
    EXPECT_EQ(once.GetString("s", "k", "", 8), "1");
    EXPECT_EQ(ProfileFile(path).GetString("s", "k", "", 8), "2");

    auto huge = folder.Write("huge.ini", "[s]\nk=1\n");
    ASSERT_EQ(::truncate(huge.c_str(), off_t{5} << 20), 0);
    ProfileFile big = ProfileFile::ReadOnce(huge);
    EXPECT_NE(big.Problem().find("huge.ini is 5242880 bytes"), std::string::npos) << big.Problem();
    EXPECT_EQ(big.SectionProblem("s"), big.Problem());
    EXPECT_EQ(big.GetString("s", "k", "d", 8), "d");
    EXPECT_FALSE(ProfileFile(huge).WriteString("s", "k", "3"));
    struct stat st {};
    ASSERT_EQ(::stat(huge.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t{5} << 20);

    EXPECT_NE(ProfileFile::ReadOnce(folder.File("none.ini")).Problem().find("cannot read"),
              std::string::npos);
}

// Damaged files, each read by both readers: the one reading must agree with the walk.
TEST_F(ProfileFileTest, OneReadingAnswersAsTheWalkOverTheLines) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string bytes;
        const char* section;
        const char* key;
        std::string value;  // what both readers give, "d" for the default
    } cases[] = {
        {"duplicate keys", "[a]\nk=1\nK = 2\n", "a", "k", "1"},
        {"section again", "[a]\nk=1\n[b]\nx=0\n[ A ]\nk=2\nj=3\n", "a", "j", "d"},
        {"keys before any header", "k=0\n[a]\nk=1\n", "a", "k", "1"},
        {"header without its bracket", "[a]\nk=1\n[b\nj=2\n", "a", "j", "2"},
        {"text after the bracket", "[a] x\nk=1\n", "a", "k", "1"},
        {"empty key and value", "[a]\n=5\nk=\n", "a", "", "5"},
        {"quotes", "[a]\nk = \" v \" \nq='x\n", "a", "q", "'x"},
        {"missing section", "[TarvoStep:2]\nnum=1\n", "TarvoStep:1", "2", "d"},
        {"no line end", "[a]\r\nk=1", "a", "k", "1"},
        {"UTF-16 with its mark", "\xFF\xFE[\0a\0]\0\r\0\n\0k\0=\0\x0D\x54"s, "a", "k", "名"},
        {"UTF-16 without its mark", "[\0a\0]\0\n\0k\0=\0x\0"s, "a", "k", "d"},
        {"GBK", "[a]\nk=\xC3\xFB\n", "a", "k", "名"},
        {"zero byte in a line", "[a]\nk=1\0\n"s, "a", "k", "1\0"s},
    };
    for (const Case& c : cases) {
        std::string path = folder.Write("damaged.ini", c.bytes);
        ExpectSameAnswers(path, c.bytes, true);
        EXPECT_EQ(ProfileFile::FromContent(path, c.bytes).GetString(c.section, c.key, "d", 64),
                  std::string(c.value))
            << c.name;
    }
}

// The shipped definition files and the seeds of the project and settings fuzzers.
TEST_F(ProfileFileTest, OneReadingAnswersAsTheWalkOnShippedFiles) {
    int files = 0;
    for (const char* folderName :
         {"/drivedata/sys", "/fuzz/corpus/ProjectFuzz", "/fuzz/corpus/ProfileFileFuzz"}) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::string(TARVO_SOURCE_DIR) + folderName)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), {});
            ExpectSameAnswers(entry.path().string(), bytes, false);
            ++files;
        }
    }
    EXPECT_GT(files, 100);
}

TEST_F(ProfileFileTest, MissingFileGivesDefault) {
    ProfileFile file(folder.File("nothing.ini"));
    EXPECT_EQ(file.GetString("s", "k", "dflt", 16), "dflt");
    EXPECT_TRUE(file.GetKeys("s").empty());
}

TEST_F(ProfileFileTest, WriteReplacesAppendsAndCreates) {
    ProfileFile file(folder.File("sys/sys.ini"));  // folder and file do not exist yet
    ASSERT_TRUE(file.WriteString("sys", "lang", "1"));
    ASSERT_TRUE(file.WriteString("sys", "comm", "2"));
    ASSERT_TRUE(file.WriteString("com", "comid", "ttyUSB0"));
    ASSERT_TRUE(file.WriteString("SYS", "LANG", "2"));
    EXPECT_EQ(folder.Read("sys/sys.ini"),
              "[sys]\r\nLANG=2\r\ncomm=2\r\n\r\n[com]\r\ncomid=ttyUSB0\r\n");
    EXPECT_EQ(file.GetString("sys", "lang", "", 4), "2");
}

TEST_F(ProfileFileTest, WriteKeepsOtherLinesAndAppendsInsideItsSection) {
    auto path = folder.Write("p.ini", "; note\n[a]\nx=1\n\n[b]\ny=2\n");
    ProfileFile file(path);
    ASSERT_TRUE(file.WriteString("a", "z", "3"));
    EXPECT_EQ(folder.Read("p.ini"), "; note\r\n[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(file.GetKeys("A"), (std::vector<std::string>{"x", "z"}));
}

TEST_F(ProfileFileTest, RefusesHostileWritesAndLeavesTheFile) {
    auto path = folder.Write("p.ini", "[a]\nx=1\n");
    ProfileFile file(path);
    EXPECT_FALSE(file.WriteString("a", "x", "1\r\n[b]"));
    EXPECT_FALSE(file.WriteString("a]", "x", "1"));
    EXPECT_FALSE(file.WriteString("a", "k=v", "1"));
    EXPECT_EQ(folder.Read("p.ini"), "[a]\nx=1\n");
}

TEST_F(ProfileFileTest, ManyKeysInOneWriteAsIfWrittenOneByOne) {
    const std::string start = "[p]\nnum=1\n0=old\nk=v\n\n[q]\nz=1\n";
    auto one = folder.Write("one.ini", start);
    auto batch = folder.Write("batch.ini", start);
    const std::vector<ProfileFile::KeyValue> values = {
        {"num", "3"}, {"0", "a"}, {"1", "b"}, {"NUM", "2"}, {" 2 ", " c "}};
    for (const auto& kv : values) {
        ASSERT_TRUE(ProfileFile(one).WriteString("p", kv.key, kv.value));
    }
    ASSERT_TRUE(ProfileFile(batch).WriteStrings("p", values));
    EXPECT_EQ(folder.Read("batch.ini"), folder.Read("one.ini"));
    EXPECT_EQ(folder.Read("batch.ini"),
              "[p]\r\nNUM=2\r\n0=a\r\nk=v\r\n1=b\r\n2=c\r\n\r\n[q]\r\nz=1\r\n");
    ASSERT_TRUE(ProfileFile(folder.File("new.ini")).WriteStrings("n", {{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(folder.Read("new.ini"), "[n]\r\na=1\r\nb=2\r\n");
    // One bad value refuses the whole batch.
    EXPECT_FALSE(ProfileFile(batch).WriteStrings("p", {{"0", "x"}, {"1", "y\nz"}}));
    // A zero byte would cut the name or value when read back (found by fuzzing).
    EXPECT_FALSE(ProfileFile(batch).WriteStrings(std::string("\0Loop", 5), {{"0", "x"}}));
    EXPECT_FALSE(ProfileFile(batch).WriteStrings("p", {{"0", std::string("x\0y", 3)}}));
    EXPECT_EQ(ProfileFile(batch).GetString("p", "0", "", 8), "a");
}

}  // namespace
}  // namespace tarvo
