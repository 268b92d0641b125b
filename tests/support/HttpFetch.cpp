#include "tests/support/HttpFetch.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdio>

namespace {

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* target) {
    std::string line(data, size * count);
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::string value = line.substr(colon + 1);
        size_t first = value.find_first_not_of(" \t");
        size_t last = value.find_last_not_of(" \t\r\n");
        value = first == std::string::npos ? "" : value.substr(first, last - first + 1);
        (*static_cast<std::map<std::string, std::string>*>(target))[name] = value;
    }
    return size * count;
}

HttpResult Perform(CURL* curl, const std::string& url, curl_slist* headers, long timeoutMs) {
    HttpResult result;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.headers);
    if (headers != nullptr) {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }
    result.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return result;
}

}  // namespace

HttpResult HttpFetch::Get(const std::string& url, const std::vector<std::string>& headers,
                          long timeoutMs) {
    CURL* curl = curl_easy_init();
    curl_slist* list = nullptr;
    for (const std::string& header : headers) {
        list = curl_slist_append(list, header.c_str());
    }
    return Perform(curl, url, list, timeoutMs);
}

HttpResult HttpFetch::Post(const std::string& url, const std::string& body,
                           const std::string& contentType, long timeoutMs) {
    return Send("POST", url, body, contentType, timeoutMs);
}

HttpResult HttpFetch::Send(const std::string& method, const std::string& url,
                           const std::string& body, const std::string& contentType,
                           long timeoutMs) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_slist* list = curl_slist_append(nullptr, ("Content-Type: " + contentType).c_str());
    return Perform(curl, url, list, timeoutMs);
}

HttpResult HttpFetch::PostForm(const std::string& url, const std::vector<FormPart>& parts,
                               long timeoutMs) {
    CURL* curl = curl_easy_init();
    curl_mime* mime = curl_mime_init(curl);
    for (const FormPart& part : parts) {
        curl_mimepart* field = curl_mime_addpart(mime);
        curl_mime_name(field, part.name.c_str());
        curl_mime_data(field, part.value.data(), part.value.size());
        if (!part.fileName.empty()) {
            curl_mime_filename(field, part.fileName.c_str());
        }
        if (!part.contentType.empty()) {
            curl_mime_type(field, part.contentType.c_str());
        }
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    HttpResult result = Perform(curl, url, nullptr, timeoutMs);
    curl_mime_free(mime);
    return result;
}

std::string HttpFetch::Encode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof(escape), "%%%02X", c);
            out += escape;
        }
    }
    return out;
}
