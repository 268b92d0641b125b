#pragma once

#include <string>

#include "foundation/Version.h"
#include "tests/support/HttpFetch.h"

// The local channel as a page uses it: a request to one of its paths
// ("/EXAMREQUEST.KIVO", ...) with the callback "cb", and the answers it gets.

// GET <path>?MethodName=<method><extra>&CallbackFunc=cb; extra starts with
// "&" (e.g. "&RequestArgs=..."). The answer's body.
inline std::string CallChannel(int port, const std::string& path, const std::string& method,
                               const std::string& extra = "",
                               long timeoutMs = HttpFetch::kDefaultTimeoutMs) {
    return HttpFetch::Get("http://127.0.0.1:" + std::to_string(port) + path +
                              "?MethodName=" + method + extra + "&CallbackFunc=cb",
                          {}, timeoutMs)
        .body;
}

inline std::string JsonpOk(const std::string& callback = "cb") {
    return callback +
           "([{\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\","
           "\"version\":\"" +
           std::string(kClientVersion) + "\"}])";
}

inline std::string JsonpFailure(const std::string& message, const std::string& callback = "cb") {
    return callback + "([{\"errorCode\":\"-1\",\"errorMsg\":\"" + message +
           "\",\"isSuccess\":\"false\",\"version\":\"" + std::string(kClientVersion) + "\"}])";
}

// A status answer: one member with its value in "result".
inline std::string JsonpStatus(const std::string& member, const std::string& value,
                               const std::string& callback = "cb") {
    return callback +
           "({\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\",\"result\":[{\"" +
           member + "\":\"" + value + "\"}],\"version\":\"" + std::string(kClientVersion) + "\"})";
}
