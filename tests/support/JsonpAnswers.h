#pragma once

#include <string>

// The channel's answers as a page receives them, wrapped in its callback.

inline std::string JsonpOk(const std::string& callback = "cb") {
    return callback +
           "([{\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\","
           "\"version\":\"2.3.1.17\"}])";
}

inline std::string JsonpFailure(const std::string& message, const std::string& callback = "cb") {
    return callback + "([{\"errorCode\":\"-1\",\"errorMsg\":\"" + message +
           "\",\"isSuccess\":\"false\",\"version\":\"2.3.1.17\"}])";
}

// A status answer: one member with its value in "result".
inline std::string JsonpStatus(const std::string& member, const std::string& value,
                               const std::string& callback = "cb") {
    return callback +
           "({\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\",\"result\":[{\"" +
           member + "\":\"" + value + "\"}],\"version\":\"2.3.1.17\"})";
}
