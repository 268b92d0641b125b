#include "foundation/Encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <random>

namespace {

// "中文测试" in each encoding.
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95";
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";
const std::u16string kChineseWide = u"中文测试";
const std::string kEmojiUtf8 = "\xF0\x9F\x98\x80";  // U+1F600, not in GBK

// Sets the process-wide code page for one test and puts the old one back.
class CodePageTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        m_previous = AnsiCodePage();
        ASSERT_TRUE(SetAnsiCodePage(GetParam()));
    }
    void TearDown() override { SetAnsiCodePage(m_previous); }

    bool IsGbk() const { return GetParam() == "GBK"; }
    // What "中文测试" is in the code page under test.
    std::string ChineseAnsi() const { return IsGbk() ? kChineseGbk : kChineseUtf8; }

private:
    std::string m_previous;
};

TEST_P(CodePageTest, ChineseTextRoundTripsThroughEveryConversion) {
    EXPECT_EQ(AnsiToUtf8(ChineseAnsi()), kChineseUtf8);
    EXPECT_EQ(Utf8ToAnsi(kChineseUtf8), ChineseAnsi());
    EXPECT_EQ(AnsiToWide(ChineseAnsi()), kChineseWide);
    EXPECT_EQ(WideToAnsi(kChineseWide), ChineseAnsi());
    EXPECT_EQ(Utf8ToWide(kChineseUtf8), kChineseWide);
    EXPECT_EQ(WideToUtf8(kChineseWide), kChineseUtf8);

    const std::string mixed = "path/" + kChineseUtf8 + " 1.txt";
    EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi(mixed)), mixed);
    EXPECT_EQ(WideToUtf8(Utf8ToWide(mixed)), mixed);
}

TEST_P(CodePageTest, EmptyAndAsciiTextPassUnchanged) {
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(WideToAnsi(u""), "");
    EXPECT_EQ(AnsiToWide(""), u"");
    const std::string ascii = "errorCode=0 & ok\t\r\n";
    EXPECT_EQ(AnsiToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToAnsi(ascii), ascii);
    EXPECT_EQ(AnsiToWide(ascii), u"errorCode=0 & ok\t\r\n");
    // Embedded NULs are text like any other byte.
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(AnsiToUtf8(withNul), withNul);
}

TEST_P(CodePageTest, UndecodableBytesBecomeOneQuestionMarkEach) {
    // 0xFF is not a character in either code page, nor in UTF-8.
    EXPECT_EQ(AnsiToUtf8("a\xFF"
                         "b"),
              "a?b");
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              u"a?b");
    EXPECT_EQ(Utf8ToAnsi("x\xC3"), "x?");  // cut inside a sequence
    // A lone surrogate has no encoding anywhere.
    std::u16string lone = u"a";
    lone += char16_t{0xD800};
    lone += u"b";
    EXPECT_EQ(WideToUtf8(lone), "a?b");
    EXPECT_EQ(WideToAnsi(lone), "a?b");
}

TEST_P(CodePageTest, CharactersMissingFromTheCodePageBecomeOneQuestionMark) {
    const std::string text = "a" + kEmojiUtf8 + "b";
    EXPECT_EQ(Utf8ToAnsi(text), IsGbk() ? "a?b" : text);
    EXPECT_EQ(WideToAnsi(Utf8ToWide(text)), IsGbk() ? "a?b" : text);
    EXPECT_EQ(Utf8ToWide(text).size(), 4u);  // a, surrogate pair, b
}

TEST_P(CodePageTest, BufferFormsReportLengthsWithTheTerminator) {
    const std::string ansi = ChineseAnsi();
    char buffer[64];
    EXPECT_EQ(Utf8ToAnsiBuffer(kChineseUtf8.c_str(), nullptr, 0), int(ansi.size()) + 1);
    EXPECT_EQ(Utf8ToAnsiBuffer(kChineseUtf8.c_str(), buffer, sizeof buffer), int(ansi.size()) + 1);
    EXPECT_EQ(std::string(buffer), ansi);
    EXPECT_EQ(AnsiToUtf8Buffer(ansi.c_str(), nullptr, 0), int(kChineseUtf8.size()) + 1);
    EXPECT_EQ(AnsiToUtf8Buffer(ansi.c_str(), buffer, sizeof buffer), int(kChineseUtf8.size()) + 1);
    EXPECT_EQ(std::string(buffer), kChineseUtf8);

    // Exactly big enough works; one byte short fails and leaves the buffer alone.
    const int exact = int(kChineseUtf8.size()) + 1;
    EXPECT_EQ(AnsiToUtf8Buffer(ansi.c_str(), buffer, exact), exact);
    std::fill(std::begin(buffer), std::end(buffer), 'z');
    EXPECT_EQ(AnsiToUtf8Buffer(ansi.c_str(), buffer, exact - 1), 0);
    EXPECT_EQ(buffer[0], 'z');

    EXPECT_EQ(Utf8ToAnsiBuffer(nullptr, buffer, sizeof buffer), 0);
    EXPECT_EQ(AnsiToUtf8Buffer("", buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_P(CodePageTest, ConditionalConversionsFollowIsUtf8) {
    // The test itself does not depend on the code page.
    EXPECT_TRUE(IsUtf8(kChineseUtf8));
    EXPECT_FALSE(IsUtf8(kChineseGbk));
    EXPECT_FALSE(IsUtf8("plain ascii"));
    // Pure ASCII reads the same everywhere: left alone both ways.
    EXPECT_EQ(ToUtf8IfNeeded("plain ascii"), "plain ascii");
    EXPECT_EQ(ToAnsiIfUtf8("plain ascii"), "plain ascii");
    // UTF-8 input.
    EXPECT_EQ(ToUtf8IfNeeded(kChineseUtf8), kChineseUtf8);
    EXPECT_EQ(ToAnsiIfUtf8(kChineseUtf8), ChineseAnsi());
    if (IsGbk()) {
        // GBK bytes are not UTF-8, so they are taken as ANSI and converted.
        EXPECT_EQ(ToUtf8IfNeeded(kChineseGbk), kChineseUtf8);
        EXPECT_EQ(ToAnsiIfUtf8(kChineseGbk), kChineseGbk);
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, CodePageTest, ::testing::Values("UTF-8", "GBK"),
                         [](const auto& info) { return info.param == "GBK" ? "Gbk" : "Utf8"; });

TEST(CodePage, UnknownNamesAreRefusedAndSpellingsOfUtf8Agree) {
    std::string before = AnsiCodePage();
    EXPECT_FALSE(SetAnsiCodePage("NO-SUCH-CODEPAGE"));
    EXPECT_EQ(AnsiCodePage(), before);
    ASSERT_TRUE(SetAnsiCodePage("utf8"));
    EXPECT_TRUE(AnsiIsUtf8());
    EXPECT_EQ(AnsiToUtf8(kChineseUtf8), kChineseUtf8);
    ASSERT_TRUE(SetAnsiCodePage("GBK"));
    EXPECT_FALSE(AnsiIsUtf8());
    SetAnsiCodePage(before);
}

TEST(CodePage, SingleByteCodePagesGrowWithoutLimit) {
    // In CP1252 0x80 is the euro sign, three bytes in UTF-8: the conversion
    // must not stop at twice the input length.
    std::string before = AnsiCodePage();
    ASSERT_TRUE(SetAnsiCodePage("CP1252"));
    std::string euros;
    for (int i = 0; i < 300; ++i)
        euros += "\xE2\x82\xAC";
    EXPECT_EQ(ToUtf8IfNeeded(std::string(300, '\x80')), euros);
    EXPECT_EQ(Utf8ToAnsi(euros), std::string(300, '\x80'));
    SetAnsiCodePage(before);
}

TEST(IsUtf8, NeedsAHighByteAndCompleteSequences) {
    EXPECT_FALSE(IsUtf8(""));
    EXPECT_FALSE(IsUtf8("abc"));
    EXPECT_TRUE(IsUtf8("\xC3\xA9"));
    EXPECT_TRUE(IsUtf8("caf\xC3\xA9"));
    EXPECT_FALSE(IsUtf8("\xE9"));
    EXPECT_FALSE(IsUtf8("\xC3\xA9\xC3"));  // cut short
    EXPECT_FALSE(IsUtf8("\xC3\x41"));      // not a continuation byte
    EXPECT_FALSE(IsUtf8("\xA9"));          // continuation with no lead
    EXPECT_TRUE(IsUtf8(kChineseUtf8));
    EXPECT_FALSE(IsUtf8(kChineseGbk));
    EXPECT_TRUE(IsUtf8(kEmojiUtf8));
}

TEST(IsUtf8, AcceptsTheLooseFormsOfTheOldDefinition) {
    EXPECT_TRUE(IsUtf8("\xC0\x80"));                  // overlong NUL
    EXPECT_TRUE(IsUtf8("\xED\xA0\x80"));              // a surrogate
    EXPECT_TRUE(IsUtf8("\xF7\xBF\xBF\xBF"));          // above U+10FFFF
    EXPECT_TRUE(IsUtf8("\xF8\x88\x80\x80\x80"));      // five bytes
    EXPECT_TRUE(IsUtf8("\xFC\x84\x80\x80\x80\x80"));  // six bytes
    EXPECT_TRUE(IsUtf8("\xFF\x80\x80\x80\x80"));      // 0xFE/0xFF lead like 0xF8
    EXPECT_FALSE(IsUtf8("\xFC\x84\x80\x80\x80"));     // six-byte lead, five bytes
}

TEST(IsUtf8, MeasuresNulTerminatedTextWhenNoLengthIsGiven) {
    EXPECT_TRUE(IsUtf8("\xC3\xA9", 0));
    EXPECT_TRUE(IsUtf8("\xC3\xA9", -5));
    EXPECT_FALSE(IsUtf8("\xC3\xA9", 1));
    EXPECT_FALSE(IsUtf8(static_cast<const char*>(nullptr), 0));
    // With a length the NUL is an ordinary byte.
    EXPECT_TRUE(IsUtf8("\0\xC3\xA9", 3));
    EXPECT_FALSE(IsUtf8("\0\xC3\xA9", 0));
}

// What iconv itself accepts as UTF-8 (no byte rejected, nothing left over).
bool IconvAcceptsUtf8(iconv_t cd, const std::string& bytes) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    size_t result = iconv(cd, &in, &inLeft, &dst, &outLeft);
    return result != static_cast<size_t>(-1) && inLeft == 0;
}

// Whether the bytes contain a lead byte whose sequence standard UTF-8 forbids
// but the loose test allows: C0/C1 and E0 80-9F, F0 80-8F (overlongs); ED
// A0-BF (surrogates); F4 90-BF and F5-F7 (above U+10FFFF); F8-FF (the five-
// and six-byte forms, and FE/FF which the loose test reads as five-byte leads).
bool HasLooseOnlyForm(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = bytes[i];
        unsigned char next = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        if (c == 0xC0 || c == 0xC1 || c >= 0xF5)
            return true;
        if (c == 0xE0 && next >= 0x80 && next <= 0x9F)
            return true;
        if (c == 0xED && next >= 0xA0 && next <= 0xBF)
            return true;
        if (c == 0xF0 && next >= 0x80 && next <= 0x8F)
            return true;
        if (c == 0xF4 && next >= 0x90 && next <= 0xBF)
            return true;
    }
    return false;
}

TEST(IsUtf8, AgreesWithIconvWhereBothDefinitionsMeetOnRandomBytes) {
    // Bytes drawn from classes so that valid sequences turn up often: ASCII,
    // continuation bytes and the lead bytes of every length.
    const std::vector<std::pair<int, int>> classes = {{0x01, 0x7F}, {0x80, 0xBF}, {0x80, 0xBF},
                                                      {0xC0, 0xDF}, {0xE0, 0xEF}, {0xF0, 0xF7},
                                                      {0xF8, 0xFF}, {0x00, 0xFF}};
    const uint32_t seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> lengths(1, 12);
    std::uniform_int_distribution<size_t> pickClass(0, classes.size() - 1);
    int compared = 0, acceptedByBoth = 0;
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int round = 0; round < 200000; ++round) {
        std::string bytes;
        size_t length = lengths(random);
        for (size_t i = 0; i < length; ++i) {
            auto [low, high] = classes[pickClass(random)];
            bytes += static_cast<char>(std::uniform_int_distribution<int>(low, high)(random));
        }
        bool loose = IsUtf8(bytes);
        bool standard = IconvAcceptsUtf8(cd, bytes);
        bool hasHighByte = false;
        for (char c : bytes)
            hasHighByte |= static_cast<unsigned char>(c) >= 0x80;
        SCOPED_TRACE("seed " + std::to_string(seed));
        if (!hasHighByte) {
            // Pure ASCII: valid UTF-8, yet deliberately not "UTF-8" here.
            ASSERT_FALSE(loose);
            continue;
        }
        // Every standard sequence is also loose.
        if (standard) {
            ASSERT_TRUE(loose);
        }
        if (!HasLooseOnlyForm(bytes)) {
            ASSERT_EQ(loose, standard);
            ++compared;
            acceptedByBoth += standard;
        }
    }
    iconv_close(cd);
    // The generator must actually reach both outcomes.
    EXPECT_GT(compared, 10000);
    EXPECT_GT(acceptedByBoth, 1000);
}

}  // namespace
