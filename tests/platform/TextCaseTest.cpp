#include "platform/TextCase.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tarvo {
namespace {

TEST(TextCaseTest, TrimTakesOnlyTheCharactersItIsGiven) {
    struct Case {
        std::string_view text;
        std::string_view front;
        std::string_view back;
        std::string_view trimmed;
    };
    const Case cases[] = {
        {" \tkey = 1\t ", " \t", " \t", "key = 1"},
        {"", " \t", " \t", ""},
        {" \t \t", " \t", " \t", ""},
        {"115200 ", " \t", " \t", "115200"},
        {"value\r\n", " \t", " \t", "value\r\n"},  // blanks only: line ends stay
        {"\r\n value \r\n", " \t\r\n", " \t\r\n", "value"},
        // A settings line keeps a leading carriage return and drops a trailing one.
        {"\r1\r", " \t", " \t\r", "\r1"},
        {"\r", " \t", " \t\r", ""},
        {"a", " \t", " \t", "a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Trim(c.text, c.front, c.back), c.trimmed) << '"' << c.text << '"';
    }
    EXPECT_EQ(Trim("\t x \t"), "x");
    EXPECT_EQ(Trim(" x\n", kBlanksAndLineEnds), "x");
}

TEST(TextCaseTest, LowerChangesAsciiLettersOnly) {
    // Under a single-byte locale the C library would lower Latin-1 letters too; names must
    // compare the same whatever the locale the program runs in.
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(Lower("Profile VELOCITY @[Z]"), "profile velocity @[z]");
    EXPECT_EQ(Lower("\xC3\x84rger \xC4"), "\xC3\x84rger \xC4");  // UTF-8 Ä, Latin-1 Ä
    EXPECT_EQ(Lower(""), "");
    EXPECT_TRUE(SameIgnoringCase("Oscilloscope", "oSCILLOSCOPE"));
    EXPECT_FALSE(SameIgnoringCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_FALSE(SameIgnoringCase("key", "keys"));
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace tarvo
