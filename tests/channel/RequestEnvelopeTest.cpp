#include "channel/RequestEnvelope.h"

#include <gtest/gtest.h>
#include <json/value.h>

#include "foundation/UrlUtil.h"

namespace {

CHttpRequest Request(const std::string& query) {
    CHttpRequest request;
    EXPECT_EQ(request.Parse("GET /EXAMREQUEST.KIVO?" + query + " HTTP/1.1\r\nHost: h\r\n\r\n"), 0);
    return request;
}

TEST(RequestEnvelope, ArgumentsFallBackToTheMisspelledParameter) {
    const std::string json = "[{\"userUid\":\"u1\"}]";
    auto request = Request("MethodName=StartExam&RequestArgs=&RequstArgs=" + UrlEncodeQuery(json));
    EXPECT_EQ(ReadRequestArgs(request), json);

    // Both present: the correct spelling wins.
    request =
        Request("requestargs=" + UrlEncodeQuery("[1]") + "&RequstArgs=" + UrlEncodeQuery(json));
    EXPECT_EQ(ReadRequestArgs(request), "[1]");

    EXPECT_EQ(ReadRequestArgs(Request("MethodName=x")), "");
}

TEST(RequestEnvelope, CallbackNameDefaultsOnlyWhenEmpty) {
    EXPECT_EQ(ReadCallbackName(Request("MethodName=x")), "callback");
    EXPECT_EQ(ReadCallbackName(Request("CallbackFunc=")), "callback");
    EXPECT_EQ(ReadCallbackName(Request("callbackfunc=jQuery123_456")), "jQuery123_456");
    // The parameter named "callback" is not the callback name.
    EXPECT_EQ(ReadCallbackName(Request("callback=cb9")), "callback");
}

TEST(RequestEnvelope, ArgumentDocumentMustBeAnArrayOrNull) {
    Json::Value object;
    EXPECT_EQ(ParseArgumentObject("", object), kArgsNotJson);
    EXPECT_EQ(ParseArgumentObject("[{\"a\":", object), kArgsNotJson);
    EXPECT_EQ(ParseArgumentObject("not json", object), kArgsNotJson);
    EXPECT_EQ(ParseArgumentObject("{\"a\":\"1\"}", object), kArgsNotArray);
    EXPECT_EQ(ParseArgumentObject("\"text\"", object), kArgsNotArray);
    EXPECT_EQ(ParseArgumentObject("7", object), kArgsNotArray);

    EXPECT_EQ(ParseArgumentObject("null", object), kArgsOk);
    EXPECT_TRUE(object.isObject() && object.empty());
    EXPECT_EQ(ParseArgumentObject("[]", object), kArgsOk);
    EXPECT_TRUE(object.isObject() && object.empty());
    EXPECT_EQ(ParseArgumentObject("[\"x\", {\"a\":\"1\"}]", object), kArgsOk);
    EXPECT_TRUE(object.isObject() && object.empty());  // only the first element counts
    EXPECT_EQ(ParseArgumentObject("[{\"a\":\"1\"}, {\"a\":\"2\"}]", object), kArgsOk);
    EXPECT_EQ(object["a"].asString(), "1");
}

TEST(RequestEnvelope, DeepNestingIsRefusedWithoutCrashing) {
    std::string deep(100000, '[');
    Json::Value object;
    EXPECT_EQ(ParseArgumentObject(deep, object), kArgsNotJson);
    std::string closed = std::string(500, '[') + std::string(500, ']');
    EXPECT_EQ(ParseArgumentObject(closed, object), kArgsNotJson);
}

TEST(RequestEnvelope, OnlyStringsAreRead) {
    Json::Value object;
    ASSERT_EQ(ParseArgumentObject(R"([{"s":"v","n":5,"b":true,"o":{},"a":[],"z":null,
        "t1":"TRUE","t2":"Yes","t3":"1","f1":"no","f2":"","f3":"true ",
        "i1":"42abc","i2":" -7","i3":"x","i4":"99999999999"}])",
                                  object),
              kArgsOk);
    std::string text = "default";
    ReadText(object, "s", text);
    EXPECT_EQ(text, "v");
    for (const char* other : {"n", "b", "o", "a", "z", "missing"}) {
        text = "default";
        ReadText(object, other, text);
        EXPECT_EQ(text, "default") << other;
    }

    for (const char* yes : {"t1", "t2", "t3"}) {
        bool flag = false;
        ReadFlag(object, yes, flag);
        EXPECT_TRUE(flag) << yes;
    }
    for (const char* no : {"f1", "f2", "f3", "b", "n"}) {
        bool flag = false;
        ReadFlag(object, no, flag);
        EXPECT_FALSE(flag) << no;
    }
    bool flag = true;
    ReadFlag(object, "f1", flag);  // a string that is not a yes turns it off
    EXPECT_FALSE(flag);

    int number = -5;
    ReadInt(object, "n", number);
    EXPECT_EQ(number, -5);
    ReadInt(object, "i1", number);
    EXPECT_EQ(number, 42);
    ReadInt(object, "i2", number);
    EXPECT_EQ(number, -7);
    ReadInt(object, "i3", number);
    EXPECT_EQ(number, 0);
    ReadInt(object, "i4", number);
    EXPECT_EQ(number, INT_MAX);
}

}  // namespace
