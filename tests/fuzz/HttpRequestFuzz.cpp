// Feeds arbitrary bytes to the request parser and the parameter decoder, and
// checks what every caller relies on afterwards.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    switch (data[0] % 3) {
        case 0: {
            CHttpRequest request;
            if (request.Parse(text) == 0) {
                Require(request.method == "GET" || request.method == "POST");
                Require(request.version == "HTTP/1.0" || request.version == "HTTP/1.1");
                Require(request.paramText.size() <= text.size());
                std::string value;
                for (const auto& [name, unused] : request.params) {
                    Require(request.GetParam(name, value) == 0);
                }
            }
            break;
        }
        case 1: {
            CHttpRequest request;
            request.DecodeParams(text);
            break;
        }
        case 2: {
            // Whatever a handler puts in a header, the answer keeps its shape:
            // no header value can start a new line.
            CHttpResponse response;
            size_t cut = text.find('\0');
            std::string name = text.substr(0, cut);
            std::string value = cut == std::string::npos ? "" : text.substr(cut + 1);
            response.SetHeader(name, value);
            response.SetBody(value);
            std::string out;
            Require(response.Serialize(out) == 0);
            size_t headerEnd = out.find("\r\n\r\n");
            Require(headerEnd != std::string::npos);
            std::string head = out.substr(0, headerEnd + 2);
            size_t lines = 0;
            for (size_t i = 0; i + 1 < head.size(); ++i) {
                if (head[i] == '\r' && head[i + 1] == '\n') {
                    ++lines;
                }
            }
            Require(lines == 1 + response.headers.size());
            Require(head.find('\n') == head.find("\r\n") + 1);
            break;
        }
    }
    return 0;
}
