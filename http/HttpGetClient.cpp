#include "http/HttpGetClient.h"

#include "foundation/UrlUtil.h"
#include "http/HttpMessage.h"

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

int ParseUrl(const std::string& url, std::string& host, int& port, std::string& path) {
    return url.empty() ? -1 : SplitHostPortPath(url, host, port, path);
}

int ResolveLocation(const std::string& location, const std::string& base, std::string& out) {
    static constexpr size_t kMaxHostLength = 1023;

    size_t letters = 0;
    while (letters < location.size() && IsAsciiLetter(location[letters])) {
        ++letters;
    }
    if (letters > 0 && letters < location.size() && location[letters] == ':') {
        out = location;
        return 0;
    }

    size_t schemeEnd;
    if (StartsWithIgnoreCase(base, "http://")) {
        schemeEnd = 7;
    } else if (StartsWithIgnoreCase(base, "ftp://")) {
        schemeEnd = 6;
    } else {
        return -1;
    }
    size_t hostEnd = base.find('/', schemeEnd);
    std::string baseHost = base.substr(
        schemeEnd, hostEnd == std::string::npos ? std::string::npos : hostEnd - schemeEnd);
    if (baseHost.size() > kMaxHostLength) {
        return -1;
    }
    std::string basePath = hostEnd == std::string::npos ? "/" : base.substr(hostEnd);

    size_t pos = location.find_first_not_of(" \t");
    std::string_view rest =
        pos == std::string::npos ? std::string_view() : std::string_view(location).substr(pos);
    if (!rest.empty() && rest[0] == '/') {
        out = "http://" + baseHost + std::string(rest);
        return 0;
    }

    size_t lastSlash = basePath.rfind('/');
    if (lastSlash == std::string::npos) {
        return -1;
    }
    std::string directory = basePath.substr(0, lastSlash + 1);
    while (rest.substr(0, 3) == "../") {
        rest.remove_prefix(3);
        // "/x/y/" loses "y/"; the root stays.
        if (directory.size() > 1) {
            size_t up = directory.rfind('/', directory.size() - 2);
            directory.resize(up + 1);
        }
    }
    while (rest.substr(0, 2) == "./") {
        rest.remove_prefix(2);
    }
    out = "http://" + baseHost + directory + std::string(rest);
    return 0;
}

int CHttpGetClient::Get(const std::string& url, int timeoutMs, int redirectsAllowed) {
    if (timeoutMs < 1) {
        timeoutMs = kUnlimitedMs;
    }
    // Redirects are followed in a loop rather than by recursion, so a long
    // chain cannot run the stack out; the whole chain shares the one time-out.
    const long long start = SteadyNowMs();
    std::string current = url;
    for (;;) {
        int result = GetOnce(current, start, timeoutMs);
        if (result != 0) {
            return result;
        }
        std::string location;
        std::string next;
        if (redirectsAllowed < 1 || (response.status != "301" && response.status != "302") ||
            response.GetHeader("Location", location) != 0 || location.empty() ||
            ResolveLocation(location, current, next) != 0) {
            return 0;
        }
        if (timeoutMs - (SteadyNowMs() - start) <= 0) {
            lastError = kErrorTimedOut;
            return -1;
        }
        current = next;
        --redirectsAllowed;
    }
}

int CHttpGetClient::GetOnce(const std::string& url, long long start, int timeoutMs) {
    // A failed exchange must not leave a response that looks like an answer.
    response.Clear();
    response.rawHeader.clear();
    auto remaining = [&] { return timeoutMs - (SteadyNowMs() - start); };

    std::string host;
    std::string path;
    int port = kDefaultHttpPort;
    if (ParseUrl(url, host, port, path) != 0) {
        lastError = kErrorHost;
        return -1;
    }
    request.SetHost(host, port);
    request.SetUrl(path);

    uint32_t address = 0;
    if (!ResolveIpv4(host, address)) {
        lastError = kErrorHost;
        return -1;
    }
    SOCKET socket = CreateTcpSocket();
    if (socket == kInvalidSocket) {
        lastError = kErrorSocket;
        return -1;
    }
    auto fail = [&](int code) {
        CloseSocket(socket);
        lastError = code;
        return -1;
    };
    long long left = remaining();
    if (left <= 0) {
        return fail(kErrorTimedOut);
    }
    // Within the time left: the system's own connect time-out (minutes)
    // would hold the caller far beyond the time it asked for.
    switch (ConnectTcpAddress(socket, address, request.port, static_cast<int>(left))) {
        case ConnectOutcome::kConnected:
            break;
        case ConnectOutcome::kTimedOut:
            return fail(kErrorTimedOut);
        case ConnectOutcome::kFailed:
            return fail(kErrorConnect);
    }
    left = remaining();
    if (left <= 0) {
        return fail(kErrorTimedOut);
    }
    if (request.Send(socket, static_cast<int>(left)) != 0) {
        return fail(kErrorSend);
    }
    left = remaining();
    if (left <= 0) {
        return fail(kErrorTimedOut);
    }
    if (response.Receive(socket, static_cast<int>(left)) != 0) {
        return fail(kErrorReceive);
    }
    CloseSocket(socket);
    lastError = kOk;
    return 0;
}
