// Script calls into pages and the names window.external answers.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "ui/browser/ExternalInterface.h"
#include "ui/browser/PageScript.h"

namespace {

// The arguments as the page will see them: the array literal of the script.
QJsonArray ArgumentsOf(const QString& script) {
    int start = script.lastIndexOf(QStringLiteral(",["));
    int end = script.lastIndexOf(QStringLiteral("]);})()"));
    QString literal = script.mid(start + 1, end - start);
    literal.replace(QStringLiteral("\\u2028"), QString(QChar(0x2028)));
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(literal.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << literal.toStdString();
    return document.array();
}

TEST(PageScript, HostileArgumentsTravelAsDataNeverAsCode) {
    const QString address = QStringLiteral("a'b\"c\\d</script><script>alert(1)</script>\n") +
                            QChar(0x2028) + QString::fromUtf8("答");
    QString script = BuildPageCall(QStringLiteral("SetExamUserAnswerForOneContent"),
                                   {QStringLiteral("q1"), address});
    // No raw quote of the argument closes the string literal.
    EXPECT_FALSE(script.contains(QStringLiteral("a'b\"c")));
    EXPECT_FALSE(script.contains(QChar(0x2028)));
    EXPECT_FALSE(script.contains(QChar('\n')));
    QJsonArray args = ArgumentsOf(script);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(args[0].toString(), QStringLiteral("q1"));
    EXPECT_EQ(args[1].toString(), address);
}

TEST(PageScript, FunctionNameIsLookedUpNotEvaluated) {
    QString script = BuildPageCall(QStringLiteral("x\"]);alert(1);//"), {});
    EXPECT_TRUE(script.startsWith(QStringLiteral("(function(){var f=window[\"x\\\"]);alert(1);//\"]")))
        << script.toStdString();
    EXPECT_TRUE(script.contains(QStringLiteral("typeof f!=='function'")));
    EXPECT_EQ(ArgumentsOf(script).size(), 0);
}

TEST(PageScript, ScoresKeepTheirType) {
    QJsonArray args = ArgumentsOf(BuildPageCall(QStringLiteral("SetJudgeScoreForOneQuestion"),
                                                {QStringLiteral("q2"), 7.5}));
    ASSERT_EQ(args.size(), 2);
    EXPECT_TRUE(args[1].isDouble());
    EXPECT_DOUBLE_EQ(args[1].toDouble(), 7.5);
}

TEST(ExternalInterface, OnlyTheTwoExactNamesHaveIds) {
    EXPECT_EQ(IExternalInterface::GetIDsOfNames("CloseCurPage"), 100);
    EXPECT_EQ(IExternalInterface::GetIDsOfNames("ShowTitleBar"), 101);
    for (const char* name : {"closecurpage", "CloseCurPage ", "ShowTitleBarX", "", "AddFavorite"}) {
        EXPECT_EQ(IExternalInterface::GetIDsOfNames(name), IExternalInterface::kDispUnknown) << name;
    }
}

TEST(ExternalInterface, UnknownIdsDoNothingAndKnownOnesRunTheirAction) {
    int closed = 0, shown = 0;
    IExternalInterface& external = IExternalInterface::Instance();
    external.SetActions([&] { ++closed; }, [&] { ++shown; });
    external.Invoke("CloseCurPage");
    external.Invoke("ShowTitleBar");
    external.Invoke("showtitlebar");
    external.InvokeId(102);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(shown, 1);
    external.SetActions(nullptr, nullptr);
    external.Invoke("CloseCurPage");  // no action installed: nothing happens
    EXPECT_EQ(closed, 1);
}

}  // namespace
