#include "config/StringTable.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "tests/support/Files.h"

TEST(StringTable, WalkTakesAttributedElementsAndSkipsBareOnes) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<Root id="ROOT_IS_NOT_A_TEXT" zh="no">
  <Text id="STR_WINDOW_TITLE" zh="Qorvane" en="ignored"/>
  <Text id="STR_NO_ZH" en="only english"/>
  <Group name="shell">
    <Text id="STR_NESTED" zh="嵌套"/>
    <Text id="STR_WINDOW_TITLE" zh="second definition loses"/>
  </Group>
  <Bare>
    <Text id="STR_INSIDE_BARE" zh="never seen"/>
  </Bare>
  <Text id="STR_WITH_CHILD" zh="父">
    <Text id="STR_CHILD" zh="子"/>
  </Text>
  <Text zh="no id, but its children count">
    <Text id="STR_GRANDCHILD" zh="孙"/>
  </Text>
</Root>)";
    StringTable table;
    ASSERT_TRUE(table.Load(xml));
    EXPECT_EQ(table.Lookup("STR_WINDOW_TITLE"), QString("Qorvane"));
    EXPECT_EQ(table.Lookup("STR_NESTED"), QString::fromUtf8("嵌套"));
    EXPECT_EQ(table.Lookup("STR_CHILD"), QString::fromUtf8("子"));
    EXPECT_EQ(table.Lookup("STR_WITH_CHILD"), QString::fromUtf8("父"));
    EXPECT_EQ(table.Lookup("STR_GRANDCHILD"), QString::fromUtf8("孙"));
    EXPECT_TRUE(table.Lookup("STR_NO_ZH").isEmpty());
    EXPECT_TRUE(table.Lookup("STR_INSIDE_BARE").isEmpty());
    EXPECT_TRUE(table.Lookup("ROOT_IS_NOT_A_TEXT").isEmpty());
    EXPECT_TRUE(table.Lookup("STR_UNKNOWN").isEmpty());
    // Defined: title, no-zh, nested, with-child, child, grandchild.
    EXPECT_EQ(table.Size(), 6);
}

TEST(StringTable, LongIdsAreCut) {
    const std::string longId(600, 'A');
    StringTable table;
    ASSERT_TRUE(table.Load("<r><t id=\"" + longId + "\" zh=\"x\"/></r>"));
    EXPECT_EQ(table.Lookup(QString(499, 'A')), QString("x"));
    EXPECT_TRUE(table.Lookup(QString::fromStdString(longId)).isEmpty());
}

TEST(StringTable, MalformedXmlFailsAndKeepsTheOldTable) {
    StringTable table;
    ASSERT_TRUE(table.Load(R"(<r><t id="A" zh="1"/></r>)"));
    EXPECT_FALSE(table.Load(R"(<r><t id="B" zh="2"></r>)"));
    EXPECT_FALSE(table.Load(""));
    EXPECT_FALSE(table.Load("not xml at all"));
    EXPECT_EQ(table.Lookup("A"), QString("1"));
    EXPECT_TRUE(table.Lookup("B").isEmpty());
}

// The table shipped in the skins: every id the client looks up has a text,
// and both skins agree.
TEST(StringTable, ShippedSkinsDefineEveryId) {
    const std::string first = ReadWholeFile(QORVANE_SOURCE_DIR "/skin/StringTable.xml");
    const std::string second = ReadWholeFile(QORVANE_SOURCE_DIR "/skin2/StringTable.xml");
    StringTable table;
    ASSERT_TRUE(table.Load(first));
    const char* const ids[] = {"STR_ALLOW_ADVANCEDOWN",
                               "STR_CANNOT_WRITE",
                               "STR_CHOICE_DATAPATH",
                               "STR_CONTINUELEARNING",
                               "STR_DELETEFAIL",
                               "STR_DOWNLOADER_NOTRUN",
                               "STR_DOWNLOADER_RUN",
                               "STR_DOWN_COMPLETE",
                               "STR_ENSURE_DELETE",
                               "STR_ENSURE_DELETEALL",
                               "STR_EXAM",
                               "STR_IESET_FAIL",
                               "STR_IESET_SUCC",
                               "STR_INVAILD_PROXYINFO",
                               "STR_LEARNING_WND",
                               "STR_LOADANSWER_FAIL",
                               "STR_LOADCOURSE_FAIL",
                               "STR_LOCKDOWN_BUSY",
                               "STR_LOCKDOWN_DESKTOP",
                               "STR_LOCKDOWN_REQUIRED",
                               "STR_LOOKUP_ANSWER",
                               "STR_MODIFY_FAIL",
                               "STR_MODIFY_SUCC",
                               "STR_OFFICE_ENDED",
                               "STR_OFFICE_NOT_INSTALLED",
                               "STR_OFFICE_OPENING",
                               "STR_OFFICE_OPEN_FAIL",
                               "STR_OFFICE_START_FAIL",
                               "STR_OPERATE_ANSWER",
                               "STR_PROXY_AUTHOR",
                               "STR_PROXY_OFF",
                               "STR_PROXY_ON",
                               "STR_READSET_FAIL",
                               "STR_SAVE_FAIL",
                               "STR_SAVE_SUCCESS",
                               "STR_SYSTEM_ADMIN",
                               "STR_SYSTEM_DOMAIN",
                               "STR_SYSTEM_GUEST",
                               "STR_SYSTEM_NETWORK",
                               "STR_SYSTEM_NORMAL",
                               "STR_SYSTEM_SERVICE",
                               "STR_SYSTEM_STANDARD",
                               "STR_SYSTEM_SYSTEM",
                               "STR_TRAY_TIP",
                               "STR_UPLOAD_FAIL",
                               "STR_UPLOAD_SUCCESS",
                               "STR_WINDOWS_MANAGER",
                               "STR_WINDOW_TITLE"};
    for (const char* id : ids) {
        EXPECT_FALSE(table.Lookup(id).isEmpty()) << id;
    }
    EXPECT_EQ(table.Size(), static_cast<qsizetype>(std::size(ids)));
    EXPECT_EQ(table.Lookup("STR_WINDOW_TITLE"), QString("Qorvane"));
    StringTable other;
    ASSERT_TRUE(other.Load(second));
    EXPECT_EQ(other.Size(), table.Size());
}

TEST(StringTable, ProcessTableRetriesUntilLoadedThenStays) {
    int reads = 0;
    EXPECT_TRUE(StringTable::Text("STR_WINDOW_TITLE").isEmpty());  // nothing loaded yet
    EXPECT_FALSE(StringTable::Init([&](std::string&) {
        ++reads;
        return false;  // no skin
    }));
    EXPECT_FALSE(StringTable::Init([&](std::string& bytes) {
        ++reads;
        bytes = "<r><broken";
        return true;
    }));
    EXPECT_TRUE(StringTable::Init([&](std::string& bytes) {
        ++reads;
        bytes = R"(<r><t id="STR_WINDOW_TITLE" zh="Qorvane"/></r>)";
        return true;
    }));
    EXPECT_TRUE(StringTable::Init([&](std::string&) {
        ++reads;
        return false;
    }));
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(StringTable::Text("STR_WINDOW_TITLE"), QString("Qorvane"));
}
