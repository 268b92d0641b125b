// Feeds arbitrary bytes to the text utilities that read outside input (answers
// of the course downloader, URLs, paths, text of unknown encoding) and checks
// the properties their callers rely on.

#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/Encoding.h"
#include "foundation/FileUtil.h"
#include "foundation/UrlUtil.h"
#include "foundation/XmlElement.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        abort();
    }
}

bool IconvAcceptsUtf8(const std::string& bytes) {
    static iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    return iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    switch (data[0] % 4) {
        case 0: {
            // Whatever comes in, what goes out as UTF-8 is well-formed UTF-8,
            // and well-formed UTF-8 survives the trip through UTF-16.
            SetAnsiCodePage(data[0] & 0x10 ? "GBK" : "UTF-8");
            Require(IconvAcceptsUtf8(AnsiToUtf8(text)));
            Require(IconvAcceptsUtf8(WideToUtf8(Utf8ToWide(text))));
            Require(IconvAcceptsUtf8(ToUtf8IfNeeded(text)) || IsUtf8(text));
            if (IconvAcceptsUtf8(text)) {
                Require(WideToUtf8(Utf8ToWide(text)) == text);
            }
            Utf8ToAnsi(text);
            ToAnsiIfUtf8(text);
            break;
        }
        case 1: {
            // Walking elements always moves forward and stays in the document.
            size_t tagLength = text.empty() ? 0 : static_cast<unsigned char>(text[0]) % 8;
            std::string tag = text.substr(text.empty() ? 0 : 1, tagLength);
            std::string document = text.substr(std::min(text.size(), 1 + tagLength));
            size_t cursor = 0;
            std::string value;
            while (true) {
                size_t before = cursor;
                if (ReadXmlElement(cursor, tag, document, value) != 0) {
                    Require(cursor == before && value.empty());
                    break;
                }
                Require(cursor > before && cursor <= document.size());
            }
            break;
        }
        case 2: {
            std::string host, path;
            int port = 0;
            int result = SplitHostPortPath(text, host, port, path);
            Require(port >= 1 && port <= 65535);
            Require(!path.empty() && path[0] == '/');
            Require((result == 0) == !host.empty());
            Require(host.find('/') == std::string::npos);
            break;
        }
        case 3: {
            // Normalising is idempotent and leaves no "." or ".." behind.
            std::string once = text;
            NormalizePath(once);
            std::string twice = once;
            NormalizePath(twice);
            Require(once == twice || text.size() < 2);
            if (text.size() >= 2) {
                Require(once.find("/./") == std::string::npos);
                Require(once.find("/../") == std::string::npos);
                Require(once.find('\\') == std::string::npos);
            }
            break;
        }
    }
    return 0;
}
