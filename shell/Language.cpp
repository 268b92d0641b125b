#include "shell/Language.h"

#include <QHash>
#include <QXmlStreamReader>

#include <mutex>

#include "ui/SkinStore.h"

namespace {

constexpr const char* kStringTableFile = "StringTable.xml";
constexpr const char* kLanguage = "zh";

std::mutex g_lock;
bool g_loaded = false;
QHash<QString, QString> g_texts;

}  // namespace

bool InitLanguage() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_loaded) {
        return true;
    }
    std::string bytes;
    if (!SkinStore::Instance().Read(kStringTableFile, bytes)) {
        return false;
    }
    QXmlStreamReader xml(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    int depth = 0;
    int skipBelow = -1;  // depth of an attribute-less element being skipped
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (skipBelow >= 0 || depth == 1) {
                continue;
            }
            if (xml.attributes().isEmpty()) {
                skipBelow = depth;
                continue;
            }
            QString id = xml.attributes().value("id").toString().left(499);
            if (!id.isEmpty() && !g_texts.contains(id)) {
                g_texts.insert(id, xml.attributes().value(kLanguage).toString());
            }
        } else if (xml.isEndElement()) {
            if (skipBelow == depth) {
                skipBelow = -1;
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        g_texts.clear();
        return false;
    }
    g_loaded = true;
    return true;
}

QString LookupText(const char* id) {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_texts.value(QString::fromUtf8(id));
}
