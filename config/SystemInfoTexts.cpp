#include "config/SystemInfoTexts.h"

#include "config/StringTable.h"
#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "platform/sysinfo/SystemQueries.h"

namespace SystemInfoTexts {

namespace {

constexpr int kDefaultProxyPort = 80;

QString Ansi(const std::string& text) {
    return QString::fromStdString(AnsiToUtf8(text));
}

}  // namespace

const char* AccountTypeId(int level, const std::string& name) {
    switch (level) {
        case 0:
            return "STR_SYSTEM_GUEST";
        case 1:
            return "STR_SYSTEM_STANDARD";
        case 2:
            // The system's own administrator: Administrator there, root here.
            return EqualsIgnoreCase(name, "Administrator") || name == "root" ? "STR_SYSTEM_ADMIN"
                                                                             : "STR_SYSTEM_NORMAL";
        default:
            break;
    }
    if (name == "SYSTEM") {
        return "STR_SYSTEM_SYSTEM";
    }
    if (name == "LOCAL SERVICE") {
        return "STR_SYSTEM_SERVICE";
    }
    if (name == "NETWORK SERVICE") {
        return "STR_SYSTEM_NETWORK";
    }
    return "STR_SYSTEM_DOMAIN";
}

// The system's own labels, fixed as they stand (not from the string table).
constexpr const char* kProxyServerLabel = "  服务器 ：";
constexpr const char* kProxyTypeLabel = "类型：";
constexpr const char* kProxyUserLabel = "  用户：";
constexpr const char* kProxyPasswordLabel = "  密码：";

QString ProxyText(int loadResult, const ProxySettings& proxy) {
    if (loadResult != 0) {
        return StringTable::Text("STR_READSET_FAIL");
    }
    if (proxy.enabled == 0) {
        return StringTable::Text("STR_PROXY_OFF");
    }
    const int port = proxy.port < 0 ? kDefaultProxyPort : proxy.port;
    return StringTable::Text("STR_PROXY_ON") + QString::fromUtf8(kProxyServerLabel) +
           Ansi(proxy.host) + ":" + QString::number(port);
}

QString ProxyAuthText(int loadResult, const ProxySettings& proxy, bool haveUser,
                      const std::string& user, bool havePass, const std::string& pass,
                      bool haveAuth, const std::string& auth) {
    if (loadResult != 0) {
        return QString();
    }
    if (proxy.enabled == 0) {
        return StringTable::Text("STR_PROXY_AUTHOR");
    }
    std::string type;
    if (haveUser && havePass && haveAuth) {
        type = auth.substr(0, auth.find(' '));
    }
    if (type.empty()) {
        return StringTable::Text("STR_PROXY_AUTHOR");
    }
    // One mark per character, not per byte of the narrow text.
    const QString password = Ansi(pass);
    return QString::fromUtf8(kProxyTypeLabel) + Ansi(type) + QString::fromUtf8(kProxyUserLabel) +
           Ansi(user) + QString::fromUtf8(kProxyPasswordLabel) +
           QString(password.size(), QChar('*'));
}

QString DownloaderText(bool running, int port) {
    if (!running) {
        return StringTable::Text("STR_DOWNLOADER_NOTRUN");
    }
    // Only the number is put in: the table is data, not a format to trust.
    QString text = StringTable::Text("STR_DOWNLOADER_RUN");
    const qsizetype at = text.indexOf(QLatin1String("%d"));
    if (at >= 0) {
        text.replace(at, 2, QString::number(port));
    }
    return text;
}

}  // namespace SystemInfoTexts
