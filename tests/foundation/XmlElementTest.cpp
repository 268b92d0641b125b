#include "foundation/XmlElement.h"

#include <gtest/gtest.h>

#include "foundation/Encoding.h"

namespace {

TEST(XmlElement, ReadsTheFirstMatchingElementAndMovesTheCursor) {
    std::string doc = "<Retn>1</Retn>";
    size_t cursor = 0;
    std::string out = "stale";
    EXPECT_EQ(ReadXmlElement(cursor, "Retn", doc, out), 0);
    EXPECT_EQ(out, "1");
    EXPECT_EQ(cursor, 6u);
    cursor = 0;
    EXPECT_EQ(ReadXmlElement(cursor, "SqlResult", doc, out), -1);
    EXPECT_EQ(cursor, 0u);
    EXPECT_EQ(out, "");

    // Walking repeated elements with the cursor.
    std::string rows = "<r><v>a</v><v>b</v></r>";
    cursor = 0;
    std::vector<std::string> seen;
    while (ReadXmlElement(cursor, "v", rows, out) == 0) {
        seen.push_back(out);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

TEST(XmlElement, MatchesWholeNamesAndAttributes) {
    std::string doc = "<RetnCode>9</RetnCode><Retn kind=\"x\">0</Retn><Empty/>";
    size_t cursor = 0;
    std::string out;
    EXPECT_EQ(ReadXmlElement(cursor, "Retn", doc, out), 0);
    EXPECT_EQ(out, "0");
    cursor = 0;
    EXPECT_EQ(ReadXmlElement(cursor, "Empty", doc, out), 0);
    EXPECT_EQ(out, "");
    cursor = 0;
    EXPECT_EQ(ReadXmlElement(cursor, "Open", "<Open>never closed", out), -1);
    EXPECT_EQ(ReadXmlElement(cursor, "Open", "<Open never ends", out), -1);
    cursor = 100;
    EXPECT_EQ(ReadXmlElement(cursor, "Retn", doc, out), -1);
}

TEST(XmlElement, UnwrapsCdataAndUnescapesAngles) {
    size_t cursor = 0;
    std::string out;
    EXPECT_EQ(ReadXmlElement(cursor, "S", "<S><![CDATA[a<b>&lt;]]></S>", out), 0);
    EXPECT_EQ(out, "a<b>&lt;");
    cursor = 0;
    EXPECT_EQ(ReadXmlElement(cursor, "S", "<S>&lt;x&gt; &amp;</S>", out), 0);
    EXPECT_EQ(out, "<x> &amp;");
    cursor = 0;
    EXPECT_EQ(ReadXmlElement(cursor, "S", "<S><![CDATA[cut</S>", out), 0);
    EXPECT_EQ(out, "cut");
}

TEST(XmlElement, ConvertsToTheCodePageOnlyWhenDeclaredNearTheStart) {
    std::string before = AnsiCodePage();
    ASSERT_TRUE(SetAnsiCodePage("GBK"));
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
    const std::string gbk = "\xD6\xD0\xCE\xC4";
    std::string out;
    size_t cursor = 0;
    std::string declared = "<?xml version=\"1.0\" encoding=\"utf-8\"?><R>" + utf8 + "</R>";
    EXPECT_EQ(ReadXmlElement(cursor, "R", declared, out), 0);
    EXPECT_EQ(out, gbk);

    cursor = 0;
    std::string upper = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><R>" + utf8 + "</R>";
    EXPECT_EQ(ReadXmlElement(cursor, "R", upper, out), 0);
    EXPECT_EQ(out, gbk);

    // Starting at character 37 still counts; at 38 it is too late and the
    // bytes stay as they are.
    cursor = 0;
    std::string edge =
        "<?xml version=\"1.0\"                  encoding=\"utf-8\"?><R>" + utf8 + "</R>";
    ASSERT_EQ(edge.find("encoding"), 37u);
    EXPECT_EQ(ReadXmlElement(cursor, "R", edge, out), 0);
    EXPECT_EQ(out, gbk);
    cursor = 0;
    std::string late =
        "<?xml version=\"1.0\"                   encoding=\"utf-8\"?><R>" + utf8 + "</R>";
    ASSERT_EQ(late.find("encoding"), 38u);
    EXPECT_EQ(ReadXmlElement(cursor, "R", late, out), 0);
    EXPECT_EQ(out, utf8);

    // Declared, but the content is already in the code page.
    cursor = 0;
    std::string already = "<?xml version=\"1.0\" encoding=\"utf-8\"?><R>" + gbk + "</R>";
    EXPECT_EQ(ReadXmlElement(cursor, "R", already, out), 0);
    EXPECT_EQ(out, gbk);
    SetAnsiCodePage(before);
}

}  // namespace
