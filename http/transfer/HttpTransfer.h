#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One-shot HTTP(S) client for everything that leaves the machine or needs TLS,
// cookies or redirects. Collect the method, headers and form fields, call
// Perform once, then judge result == 0 and responseCode == 200 and read body.
class CHttpTransfer {
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    static constexpr const char* kDefaultUserAgent =
        "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.2; Trident/4.0; .NET CLR 1.1.4322; "
        "InfoPath.2; .NET4.0C; .NET4.0E; .NET CLR 2.0.50727)";
    // Relative on purpose: one cookie store in the working folder, shared by
    // every transfer of the process, so server sessions follow the user.
    static constexpr const char* kDefaultCookieFile = "cookie.txt";
    static constexpr long kMaxRedirects = 5;
    static constexpr int kDefaultConnectTimeoutMs = 3000;
    // Whole bodies are kept in memory; pages, small files and installers fit
    // well below this. A server sending more fails the transfer instead of
    // exhausting memory.
    static constexpr size_t kMaxBody = 1024u * 1024u * 1024u;

    std::string method = "GET";
    Pairs headerList;
    Pairs formFields;
    std::string rawBody;
    std::string fileFieldName;
    std::string filePath;
    bool hasFileField = false;
    bool multipart = false;
    int responseCode = 0;
    std::string body;
    int result = 0;
    std::string userAgent = kDefaultUserAgent;
    std::string cookieFile = kDefaultCookieFile;
    size_t maxBody = kMaxBody;
    // Asked while the transfer runs (at least about once a second, also while
    // the server is silent); true ends it at once with result 42 (aborted).
    std::function<bool()> cancelled;
    // When set, the body is handed over piece by piece as it arrives instead
    // of being kept in `body` (large downloads go straight to their file);
    // false stops the transfer. maxBody still applies.
    std::function<bool(const char* data, size_t size)> bodySink;
    // Bytes of the body received, kept or handed over.
    size_t bodyBytes = 0;
    // libcurl's receive buffer: large bodies arrive in fewer, larger pieces.
    static constexpr long kReceiveBufferSize = 256 * 1024;

    // 0 for exactly "GET", "POST", "HEAD" or "PUT"; -1 (method unchanged) otherwise.
    int SetMethod(const std::string& name);
    // The name is trimmed; an entry with the same name in any ASCII case is
    // replaced in place (name and value), otherwise the pair is appended.
    int AddHeader(const std::string& name, const std::string& value);
    int AddFormField(const std::string& name, const std::string& value);
    int SetFileField(const std::string& partName, const std::string& path);

    // Runs one transfer with a total limit of timeoutMs (0: none). Redirects
    // are always followed (up to kMaxRedirects); the flag is accepted for the
    // callers' sake and has no effect. 0 when the transfer completed, whatever
    // the HTTP status; -1 with libcurl's code (or the form error) in result.
    int Perform(const std::string& url, int timeoutMs, bool followRedirects);
    void GetBody(std::string& out) const { out = body; }

    // The connect limit: the total limit when it lies in 1..2999 ms, else 3000.
    static int ConnectTimeoutFor(int timeoutMs);
    // UTF-8 with non-ASCII bytes goes to the narrow code page first; then every
    // byte from 0x7F up and every space becomes "%XX".
    static std::string PrepareUrl(const std::string& url);
    // name=value pairs of formFields (values URL-encoded) joined by "&".
    std::string QueryText() const;

private:
    struct Prepared;
    int PrepareRequest(void* curl, std::string& target, Prepared& prepared) const;
    void ApplyCommonOptions(void* curl, int timeoutMs);
    static size_t AppendBody(char* data, size_t size, size_t count, void* self);
};
