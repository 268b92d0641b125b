#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// One HTTP exchange through libcurl, for tests that check what a peer sends.
struct HttpResult {
    int curlCode = 0;  // 0 when the transfer completed
    long status = 0;
    std::string body;
    std::map<std::string, std::string> headers;  // names in lower case
};

struct FormPart {
    std::string name;
    std::string value;     // field value, or file content when fileName is set
    std::string fileName;  // empty: a plain field
    std::string contentType;
};

class HttpFetch {
public:
    static constexpr long kDefaultTimeoutMs = 10000;

    static HttpResult Get(const std::string& url, const std::vector<std::string>& headers = {},
                          long timeoutMs = kDefaultTimeoutMs);
    static HttpResult Post(const std::string& url, const std::string& body,
                           const std::string& contentType = "application/octet-stream",
                           long timeoutMs = kDefaultTimeoutMs);
    static HttpResult Send(const std::string& method, const std::string& url,
                           const std::string& body, const std::string& contentType,
                           long timeoutMs = kDefaultTimeoutMs);
    static HttpResult PostForm(const std::string& url, const std::vector<FormPart>& parts,
                               long timeoutMs = kDefaultTimeoutMs);
    // Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~
    static std::string Encode(const std::string& text);
};
