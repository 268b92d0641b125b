#pragma once

#include <string>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

// The session service's one-call GET client: URL parsing, name resolution,
// connect, send, receive and redirects, all inside one time-out.
class CHttpGetClient {
public:
    // Outcomes of the last Get, in lastError.
    static constexpr int kOk = 0;
    static constexpr int kErrorHost = -1;      // no host in the URL, or it did not resolve
    static constexpr int kErrorSocket = -2;    // no socket could be created
    static constexpr int kErrorConnect = -3;   // the connection failed
    static constexpr int kErrorTimedOut = -4;  // no time left to send or to receive
    static constexpr int kErrorSend = -5;      // sending failed
    static constexpr int kErrorReceive = -6;   // receiving or parsing the answer failed

    // A time-out below 1 ms stands for "practically unlimited".
    static constexpr int kUnlimitedMs = 99999999;

    CHttpRequest request;
    CHttpResponse response;
    int lastError = kOk;

    // 0 with the answer in response (a 301/302 is followed while
    // redirectsAllowed is above 0), else -1 with the reason in lastError.
    int Get(const std::string& url, int timeoutMs, int redirectsAllowed);

private:
    // One exchange, its time measured from start.
    int GetOnce(const std::string& url, long long start, int timeoutMs);
};

// "scheme://host:port/path" into its parts; without a port 80, without a
// path "/". -1 for an empty URL or an empty host.
int ParseUrl(const std::string& url, std::string& host, int& port, std::string& path);

// The target of a Location header: absolute as it stands, rooted or relative
// ("../", "./") against the base URL, which must be http:// or ftp://.
int ResolveLocation(const std::string& location, const std::string& base, std::string& out);
