#include "foundation/TextUtil.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

TEST(TextUtil, LeftAndRightPartsClampTheirIndex) {
    EXPECT_EQ(LeftPart("abcdef", 3), "abc");
    EXPECT_EQ(LeftPart("abcdef", -1), "");
    EXPECT_EQ(LeftPart("abcdef", 99), "abcdef");
    EXPECT_EQ(RightPart("abcdef", 4), "ef");
    EXPECT_EQ(RightPart("abcdef", 6), "");
    EXPECT_EQ(RightPart("abcdef", 99), "");
    EXPECT_EQ(RightPart("abcdef", -2), "abcdef");
}

TEST(TextUtil, TrimsKeepTheirOwnCharacterSets) {
    EXPECT_EQ(TrimLeft("  \tab "), "\tab ");
    EXPECT_EQ(TrimRight(" ab\t  "), " ab\t");
    EXPECT_EQ(Trim(" \t\r\nab c\n\r\t "), "ab c");
    EXPECT_EQ(Trim(" \t\r\n"), "");
    EXPECT_EQ(TrimLeft("    "), "");
    EXPECT_EQ(TrimRight("    "), "");
    EXPECT_EQ(Trim(""), "");
}

TEST(TextUtil, ReplaceAllScansOnPastEachReplacement) {
    std::string text = "a.b.c";
    EXPECT_EQ(ReplaceAll(text, ".", ".."), 2);
    EXPECT_EQ(text, "a..b..c");
    text = "aaaa";
    EXPECT_EQ(ReplaceAll(text, "aa", "a"), 2);
    EXPECT_EQ(text, "aa");
    text = "abc";
    EXPECT_EQ(ReplaceAll(text, "", "x"), 0);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(ReplaceAll(text, "b", ""), 1);
    EXPECT_EQ(text, "ac");

    std::u16string path = u"C:\\a\\文件\\";
    EXPECT_EQ(BackslashesToSlashes(path), 3);
    EXPECT_EQ(path, u"C:/a/文件/");
}

TEST(TextUtil, FormatStringHasNoLengthLimit) {
    EXPECT_EQ(FormatString("%s=%d", "port", 32899), "port=32899");
    std::string big(50000, 'x');
    EXPECT_EQ(FormatString("[%s]", big.c_str()), "[" + big + "]");
    EXPECT_EQ(FormatString("%s", ""), "");
}

TEST(TextUtil, WideFormatStringTakesWideText) {
    std::u16string name = u"中文";
    EXPECT_EQ(FormatString(u"%s: %d%%", name, 42), u"中文: 42%");
    EXPECT_EQ(FormatString(u"%s-%s", u"a", std::string("b")), u"a-b");
    EXPECT_EQ(FormatString(u"%5.1f", 1.25), u"  1.2");
}

TEST(TextUtil, FormatBoundedCutsAtItsBuffer) {
    EXPECT_EQ(FormatBounded("%s", ""), "");
    EXPECT_EQ(FormatBounded("a%db", 1), "a1b");
    std::string big(kFormatBoundedSize * 2, 'y');
    std::string cut = FormatBounded("%s", big.c_str());
    EXPECT_EQ(cut.size(), kFormatBoundedSize - 1);
    EXPECT_EQ(cut, big.substr(0, kFormatBoundedSize - 1));
}

TEST(TextUtil, ParseInt64ReadsALeadingSignedNumber) {
    EXPECT_EQ(ParseInt64("  \t-42abc"), -42);
    EXPECT_EQ(ParseInt64("+7"), 7);
    EXPECT_EQ(ParseInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ParseInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(ParseInt64("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseInt64("-99999999999999999999"), INT64_MIN);
    EXPECT_EQ(ParseInt64("4294967296"), 4294967296LL);
    EXPECT_EQ(ParseInt64("x12"), 0);
    EXPECT_EQ(ParseInt64("\n12"), 0);  // only spaces and tabs are skipped
    EXPECT_EQ(ParseInt64("-"), 0);
    EXPECT_EQ(ParseInt64(""), 0);
}

TEST(TextUtil, TimestampTextHasMilliseconds) {
    EXPECT_TRUE(std::regex_match(TimestampText(),
                                 std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})")));
}

TEST(TextUtil, FormatSizePicksTheUnitAndPadsToEight) {
    EXPECT_EQ(FormatSize(512), u"     512B");
    EXPECT_EQ(FormatSize(0), u"       0B");
    EXPECT_EQ(FormatSize(1023), u"    1023B");
    EXPECT_EQ(FormatSize(1024), u"     1.0KB");
    EXPECT_EQ(FormatSize(1536), u"     1.5KB");
    EXPECT_EQ(FormatSize(1048575), u"  1024.0KB");
    EXPECT_EQ(FormatSize(1048576), u"     1.0MB");
    EXPECT_EQ(FormatSize(1073741824), u"     1.0GB");
    EXPECT_EQ(FormatSize(4294967295LL), u"     4.0GB");
    EXPECT_EQ(FormatSize(4294967296LL), u"");
    EXPECT_EQ(FormatSize(-5), u"      -5B");
}

}  // namespace

TEST(TextUtil, LetterCaseIsAsciiOnlyWhateverTheLocale) {
    // Bytes of multi-byte text are never folded: "Ä" in UTF-8 and GBK's
    // lead bytes stay as they are, so names compare the same in every locale.
    EXPECT_TRUE(EqualsIgnoreCase("MethodName", "methodname"));
    EXPECT_FALSE(EqualsIgnoreCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_FALSE(EqualsIgnoreCase("I", "\xC4\xB1"));  // dotless i is no "i"
    EXPECT_TRUE(StartsWithIgnoreCase("HTTP://x", "http://"));
    EXPECT_FALSE(StartsWithIgnoreCase("htt", "http://"));
    EXPECT_EQ(AsciiUpper("ok\xBF\xBC"), "OK\xBF\xBC");
    EXPECT_EQ(AsciiLower("YES\xC3\x84"), "yes\xC3\x84");
}
