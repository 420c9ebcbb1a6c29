#include <gtest/gtest.h>

#include <map>

#include "platform/CodePageDecoder.h"
#include "platform/LenientNumber.h"
#include "platform/SystemLocale.h"
#include "platform/TextCodec.h"

namespace tarvo {
namespace {

TEST(LenientNumberTest, HexSkipsEverythingButDigits) {
    EXPECT_EQ(ParseHexText(""), 0u);
    EXPECT_EQ(ParseHexText("6040"), 0x6040u);
    EXPECT_EQ(ParseHexText("60 40"), 0x6040u);
    EXPECT_EQ(ParseHexText("0x606000"), 0x606000u);
    EXPECT_EQ(ParseHexText("ff"), 0xFFu);
    EXPECT_EQ(ParseHexText("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexText("zz"), 0u);
    EXPECT_EQ(ParseHexText("1-2"), 0x12u);              // only a leading minus negates
    EXPECT_EQ(ParseHexText("123456789"), 0x23456789u);  // wraps at 32 bits
}

TEST(LenientNumberTest, DecimalTwin) {
    EXPECT_EQ(ParseDecimalText("UNSIGNED16"), 16u);
    EXPECT_EQ(ParseDecimalText("-25"), static_cast<uint32_t>(-25));
    EXPECT_EQ(ParseDecimalText("ab"), 0u);
}

TEST(TextCodecTest, DecodesCodePagesAndReplacesBadBytes) {
    EXPECT_EQ(TextCodec::GbkToUtf8("\xCB\xD9\xB6\xC8"), "速度");
    EXPECT_EQ(TextCodec::Windows1252ToUtf8("\x80 \xE9"), "€ é");
    // A lone lead byte and a truncated pair become replacement characters.
    EXPECT_EQ(TextCodec::GbkToUtf8("a\xFF"
                                   "b\xCB"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_TRUE(TextCodec::IsValidUtf8(TextCodec::GbkToUtf8("\xFF\xFE\x81")));
}

TEST(TextCodecTest, EncodesForTheDataFile) {
    EXPECT_EQ(TextCodec::Utf8ToGbk("速度 rpm"), "\xCB\xD9\xB6\xC8 rpm");
    EXPECT_EQ(TextCodec::Utf8ToWindows1252("é😀"), "\xE9?");
}

TEST(TextCodecTest, Utf8Validation) {
    EXPECT_TRUE(TextCodec::IsValidUtf8("plain 名称"));
    EXPECT_FALSE(TextCodec::IsValidUtf8("\xC3\xFB"));      // GBK bytes
    EXPECT_FALSE(TextCodec::IsValidUtf8("\xE5\x90"));      // truncated
    EXPECT_FALSE(TextCodec::IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(TextCodec::IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(TextCodec::TruncateUtf16("a😀b", 2), "a");
    EXPECT_EQ(TextCodec::Utf16Length("a😀b"), 4u);
}

TEST(SystemLocaleTest, FirstSetVariableDecides) {
    auto env = [](std::map<std::string, std::string> vars) {
        return [vars](const char* name) -> const char* {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    };
    EXPECT_TRUE(SystemLocale::IsChinesePrc(env({{"LANG", "zh_CN.UTF-8"}})));
    EXPECT_FALSE(SystemLocale::IsChinesePrc(env({{"LANG", "zh_TW.UTF-8"}})));
    EXPECT_FALSE(SystemLocale::IsChinesePrc(env({{"LC_ALL", "C"}, {"LANG", "zh_CN.UTF-8"}})));
    EXPECT_TRUE(SystemLocale::IsChinesePrc(env({{"LC_ALL", ""}, {"LC_MESSAGES", "zh_CN"}})));
    EXPECT_FALSE(SystemLocale::IsChinesePrc(env({{"LANG", "zh_CNX"}})));
    EXPECT_FALSE(SystemLocale::IsChinesePrc(env({})));

    // Under another session locale Chinese can be shown when a zh_CN locale is installed
    // and a Chinese font is there; the font is not asked for when the session decides.
    int fontAsked = 0;
    auto font = [&fontAsked](bool has) {
        return [&fontAsked, has] {
            ++fontAsked;
            return has;
        };
    };
    auto english = env({{"LANG", "en_US.UTF-8"}});
    EXPECT_TRUE(SystemLocale::CanShowChinese(english, true, font(true)));
    EXPECT_FALSE(SystemLocale::CanShowChinese(english, true, font(false)));
    EXPECT_EQ(fontAsked, 2);
    EXPECT_FALSE(SystemLocale::CanShowChinese(english, false, font(true)));
    EXPECT_TRUE(SystemLocale::CanShowChinese(env({{"LANG", "zh_CN.GBK"}}), false, font(false)));
    EXPECT_EQ(fontAsked, 2);
}

}  // namespace
}  // namespace tarvo
