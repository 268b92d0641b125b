#include "tools/platform/Installer.h"

#include <openssl/evp.h>

#include <cstdio>

bool Installer::Build(const std::string& version, int64_t size, const std::string& markFile,
                      Digest digest) {
    if (size < kMinSize || size > kMaxSize) {
        return false;
    }
    m_version = version;
    m_digest = digest;
    std::string script = "#!/bin/sh\n# Qorvane installer stand-in " + version +
                         "\necho '{\"event\":\"installed\",\"version\":\"" + version + "\"}' >> '" +
                         markFile + "'\nexit 0\n";
    // Numbered padding lines make every byte range distinct, so a range
    // fetched from the wrong offset shows.
    std::string padding;
    for (int line = 0; script.size() + padding.size() < static_cast<size_t>(size); ++line) {
        char text[32];
        std::snprintf(text, sizeof(text), "# %08d padding\n", line);
        padding += text;
    }
    m_bytes = script + padding;
    m_bytes.resize(static_cast<size_t>(size), '#');
    if (!m_bytes.empty()) {
        m_bytes.back() = '\n';
    }
    return true;
}

std::string Installer::Md5() const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(m_bytes.data(), m_bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof(pair), "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string Installer::ProductList() const {
    std::string md5;
    if (m_digest == Digest::Real) {
        md5 = "  <MD5>" + Md5() + "</MD5>\n";
    } else if (m_digest == Digest::Empty) {
        md5 = "  <MD5></MD5>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ProductList>\n  <ViewVersion>" +
           m_version + "</ViewVersion>\n" + md5 + "  <Size>" + std::to_string(m_bytes.size()) +
           "</Size>\n  <FileName>" + FileName() + "</FileName>\n  <Log>Stand-in update " +
           m_version + ": fixes and improvements.</Log>\n</ProductList>\n";
}
