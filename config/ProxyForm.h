#pragma once

#include <string>

// The downloader's proxy as the settings page shows and saves it. The
// downloader keeps it in the machine's registry; the client only reads it
// there and asks the downloader to change it.
struct ProxyForm {
    static constexpr const char* kProxyInfoKey = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
    static constexpr const char* kRequestPath = "/SET_CUSTOM_PROXY_INFO.KIVO";
    static constexpr int kDefaultPort = 80;

    bool enabled = false;
    std::string address;  // dotted IPv4
    std::string port;
    std::string user;
    std::string password;

    // What the registry holds (missing values read as empty; a server
    // without ":" has port 80).
    static ProxyForm LoadStored();
    // Off is always valid; on needs a valid IPv4 address, a port 1-65535 and
    // a user and password.
    bool Valid() const;
    // The request's path and query. Carries the password: never log it.
    std::string RequestTarget() const;
};
