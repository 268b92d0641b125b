#pragma once

#include <QString>

#include <string>

struct ProxySettings;

// The texts of the system information page, from what the system reports.
namespace SystemInfoTexts {

// The language-table id of an account type (privilege level and name).
const char* AccountTypeId(int level, const std::string& name);

// The proxy line: unreadable settings, off, or on with its server.
QString ProxyText(int loadResult, const ProxySettings& proxy);
// The proxy's authentication line from the three stored values (each read
// or not): type, user and one "*" per character of the password.
QString ProxyAuthText(int loadResult, const ProxySettings& proxy, bool haveUser,
                      const std::string& user, bool havePass, const std::string& pass,
                      bool haveAuth, const std::string& auth);

// The downloader line: not running, or running on its port (the running
// text is a printf-style format with one "%d").
QString DownloaderText(bool running, int port);

}  // namespace SystemInfoTexts
