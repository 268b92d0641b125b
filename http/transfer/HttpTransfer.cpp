#include "http/transfer/HttpTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "foundation/UrlUtil.h"
#include "http/HttpMessage.h"

namespace {

// The platform's LAN appliances (cache boxes, update mirrors) serve HTTPS with
// self-signed certificates that no trust store knows, so neither the peer's
// certificate nor its host name is verified. This is the only place that
// decides it.
constexpr bool kVerifyTlsPeer = false;

void ApplyTlsPolicy(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, kVerifyTlsPeer ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, kVerifyTlsPeer ? 2L : 0L);
}

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct MimeDeleter {
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};

void AppendEscaped(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

// A CR or LF inside a header line would let a value forge further headers.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

int AddOrReplace(CHttpTransfer::Pairs& pairs, const std::string& name, const std::string& value) {
    std::string key = Trim(name);
    for (auto& entry : pairs) {
        if (EqualsIgnoreCase(entry.first, key)) {
            entry = {key, value};
            return 0;
        }
    }
    pairs.emplace_back(key, value);
    return 0;
}

}  // namespace

int CHttpTransfer::SetMethod(const std::string& name) {
    if (name != "GET" && name != "POST" && name != "HEAD" && name != "PUT") {
        return -1;
    }
    method = name;
    return 0;
}

int CHttpTransfer::AddHeader(const std::string& name, const std::string& value) {
    return AddOrReplace(headerList, name, value);
}

int CHttpTransfer::AddFormField(const std::string& name, const std::string& value) {
    return AddOrReplace(formFields, name, value);
}

int CHttpTransfer::SetFileField(const std::string& partName, const std::string& path) {
    fileFieldName = partName;
    filePath = path;
    hasFileField = true;
    return 0;
}

int CHttpTransfer::ConnectTimeoutFor(int timeoutMs) {
    return (timeoutMs >= 1 && timeoutMs < kDefaultConnectTimeoutMs) ? timeoutMs
                                                                    : kDefaultConnectTimeoutMs;
}

std::string CHttpTransfer::PrepareUrl(const std::string& url) {
    // Servers of the platform expect non-ASCII paths in the system code page.
    std::string narrow = ToAnsiIfUtf8(url);
    std::string out;
    out.reserve(narrow.size());
    for (unsigned char c : narrow) {
        if (c >= 0x7F || c == ' ') {
            AppendEscaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string CHttpTransfer::QueryText() const {
    std::string query;
    for (const auto& [name, value] : formFields) {
        if (!query.empty()) {
            query += '&';
        }
        query += name;
        query += '=';
        query += UrlEncodeQuery(value);
    }
    return query;
}

size_t CHttpTransfer::AppendBody(char* data, size_t size, size_t count, void* self) {
    auto* transfer = static_cast<CHttpTransfer*>(self);
    size_t bytes = size * count;
    // Anything short of the whole piece makes libcurl stop.
    if (bytes > transfer->maxBody - std::min(transfer->maxBody, transfer->bodyBytes)) {
        return 0;
    }
    transfer->bodyBytes += bytes;
    if (transfer->bodySink) {
        return transfer->bodySink(data, bytes) ? bytes : 0;
    }
    transfer->body.append(data, bytes);
    return bytes;
}

// Everything the request sends besides its address: headers, and for POST
// and PUT the body (a multipart form, the raw body, or the parameters);
// GET parameters go onto the address. Holds what libcurl reads during the
// transfer. 0, or the libcurl code of a form file that cannot be read.
struct CHttpTransfer::Prepared {
    std::unique_ptr<curl_slist, ListDeleter> headers;
    std::unique_ptr<curl_mime, MimeDeleter> form;
    std::string payload;
};

int CHttpTransfer::PrepareRequest(CURL* curl, std::string& target, Prepared& prepared) const {
    curl_slist* lines = nullptr;
    for (const auto& [name, value] : headerList) {
        lines = curl_slist_append(lines, OneLine(name + ": " + value).c_str());
    }
    // An empty Expect header: libcurl must never wait for "100-continue".
    lines = curl_slist_append(lines, "Expect:");
    prepared.headers.reset(lines);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, prepared.headers.get());

    const std::string query = QueryText();
    const bool sendsBody = method == "POST" || method == "PUT";
    if (sendsBody && multipart) {
        prepared.form.reset(curl_mime_init(curl));
        for (const auto& [name, value] : formFields) {
            curl_mimepart* part = curl_mime_addpart(prepared.form.get());
            curl_mime_name(part, name.c_str());
            curl_mime_data(part, value.data(), value.size());
        }
        if (hasFileField) {
            curl_mimepart* part = curl_mime_addpart(prepared.form.get());
            curl_mime_name(part, fileFieldName.c_str());
            CURLcode added = curl_mime_filedata(part, filePath.c_str());
            if (added != CURLE_OK) {
                return added;
            }
        }
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, prepared.form.get());
    } else if (sendsBody) {
        prepared.payload = rawBody.empty() ? query : rawBody;
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(prepared.payload.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, prepared.payload.data());
    } else if (!query.empty()) {
        target += target.find('?') == std::string::npos ? '?' : '&';
        target += query;
    }
    if (method == "PUT") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "PUT");
    } else if (method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    }
    return CURLE_OK;
}

namespace {

int CheckCancelled(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CHttpTransfer*>(self)->cancelled() ? 1 : 0;
}

}  // namespace

// What every transfer does alike: redirects, user agent, encodings, TLS,
// cookies, where the body goes, time-outs, no signals.
void CHttpTransfer::ApplyCommonOptions(CURL* curl, int timeoutMs) {
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_AUTOREFERER, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    ApplyTlsPolicy(curl);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, cookieFile.c_str());
    if (!cookieFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_COOKIEJAR, cookieFile.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CHttpTransfer::AppendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs > 0 ? timeoutMs : 0));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(ConnectTimeoutFor(timeoutMs)));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (cancelled) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckCancelled);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
}

int CHttpTransfer::Perform(const std::string& url, int timeoutMs, bool followRedirects) {
    (void)followRedirects;  // redirects are always followed
    responseCode = 0;
    result = 0;
    body.clear();
    bodyBytes = 0;

    std::string target = PrepareUrl(url);
    InitialiseCurlOnce();
    Prepared prepared;
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        return -1;
    }
    CURL* curl = handle.get();
    if (int refused = PrepareRequest(curl, target, prepared); refused != CURLE_OK) {
        result = refused;
        return -1;
    }
    ApplyCommonOptions(curl, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_URL, target.c_str());

    result = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    responseCode = static_cast<int>(code);
    // The handle goes first: its cleanup writes the cookie jar and may still
    // refer to the form and the header list.
    handle.reset();
    return result == CURLE_OK ? 0 : -1;
}
