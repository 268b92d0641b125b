// Feeds arbitrary bytes, as a hostile or broken server would send them, to the
// client's response parser, chunked decoder, raw header search and URL
// handling, and checks what the callers rely on afterwards.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/HttpGetClient.h"
#include "http/HttpResponse.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

// Splits "first\0second" (no NUL: all first).
void SplitAtNul(const std::string& text, std::string& first, std::string& second) {
    size_t cut = text.find('\0');
    first = text.substr(0, cut);
    second = cut == std::string::npos ? "" : text.substr(cut + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
        case 0: {
            CHttpResponse response;
            if (response.Parse(text) == 0) {
                Require(response.version == "HTTP/1.0" || response.version == "HTTP/1.1");
                Require(response.status.size() == 3);
                int code = std::atoi(response.status.c_str());
                Require(code >= 200 && code <= 600);
                Require(response.body.size() <= text.size());
            }
            break;
        }
        case 1: {
            std::string out;
            if (DecodeChunked(text, out) == 0) {
                Require(out.size() <= text.size());
            }
            break;
        }
        case 2: {
            std::string raw;
            std::string name;
            SplitAtNul(text, raw, name);
            std::string value;
            if (FindRawHeader(raw, name, value) == 0) {
                Require(value.find("\r\n") == std::string::npos);
                Require(value.empty() || value[0] != ' ');
            } else {
                Require(value.empty());
            }
            break;
        }
        case 3: {
            std::string location;
            std::string base;
            SplitAtNul(text, location, base);
            std::string out;
            if (ResolveLocation(location, base, out) == 0) {
                Require(out == location || out.rfind("http://", 0) == 0);
            }
            break;
        }
        case 4: {
            std::string host;
            std::string path;
            int port = -1;
            if (ParseUrl(text, host, port, path) == 0) {
                Require(!host.empty());
                Require(port > 0);
                Require(!path.empty());
            }
            CHttpRequest request;
            request.SetHost(host, port);
            request.SetUrl(path);
            std::string out;
            Require(request.Serialize(out) == 0);
            // Whatever the URL held, the request line stays one line.
            Require(out.find("\r\n") == out.find('\n') - 1);
            break;
        }
    }
    return 0;
}
