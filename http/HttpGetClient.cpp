#include "http/HttpGetClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>

#include "foundation/UrlUtil.h"
#include "http/HttpMessage.h"

namespace {

bool StartsWithIgnoreCase(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoreCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

enum class ConnectOutcome { Connected, Failed, TimedOut };

// Connects within timeoutMs; the platform's own connect time-out (minutes)
// would otherwise hold the caller far beyond the time it asked for. A
// connection still pending when the time runs out is a time-out, not a
// refusal.
ConnectOutcome ConnectWithin(SOCKET socket, uint32_t address, int port, int timeoutMs) {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    target.sin_addr.s_addr = address;
    if (!SetSocketBlocking(socket, false)) {
        return ConnectOutcome::Failed;
    }
    if (connect(socket, reinterpret_cast<sockaddr*>(&target), sizeof(target)) == 0) {
        return ConnectOutcome::Connected;
    }
    if (errno != EINPROGRESS) {
        return ConnectOutcome::Failed;
    }
    int ready = WaitForSocket(socket, POLLOUT, timeoutMs);
    if (ready == 0) {
        return ConnectOutcome::TimedOut;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    bool connected =
        ready == 1 && getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    return connected ? ConnectOutcome::Connected : ConnectOutcome::Failed;
}

}  // namespace

int ParseUrl(const std::string& url, std::string& host, int& port, std::string& path) {
    if (url.empty()) {
        return -1;
    }
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t colon = url.find(':', start);
    size_t slash = url.find('/', start);
    if (colon != std::string::npos && slash == std::string::npos) {
        host = url.substr(start, colon - start);
        port = std::atoi(url.c_str() + colon + 1);
        path = "/";
    } else if (colon != std::string::npos && slash > colon) {
        host = url.substr(start, colon - start);
        port = std::atoi(url.substr(colon + 1, slash - colon - 1).c_str());
        path = url.substr(slash);
    } else {
        host = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        port = kDefaultHttpPort;
        path = slash == std::string::npos ? "/" : url.substr(slash);
    }
    if (port <= 0) {
        port = kDefaultHttpPort;
    }
    return host.empty() ? -1 : 0;
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
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
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
    switch (ConnectWithin(socket, address, request.port, static_cast<int>(left))) {
        case ConnectOutcome::Connected:
            break;
        case ConnectOutcome::TimedOut:
            return fail(kErrorTimedOut);
        case ConnectOutcome::Failed:
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
