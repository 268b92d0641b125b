#include "config/StringTable.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <mutex>

bool StringTable::Load(const std::string& xml, const QString& language) {
    QXmlStreamReader reader(
        QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size())));
    QHash<QString, QString> texts;
    bool rootSeen = false;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (!rootSeen) {
            rootSeen = true;  // the root itself only holds the table
            continue;
        }
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.isEmpty()) {
            reader.skipCurrentElement();
            continue;
        }
        if (attributes.hasAttribute(QStringLiteral("id"))) {
            QString id = attributes.value(QStringLiteral("id")).toString().left(kMaxIdLength);
            if (!texts.contains(id)) {
                texts.insert(id, attributes.value(language).toString());
            }
        }
        // Reading on visits this element's children next, in document order.
    }
    if (reader.hasError() || !rootSeen) {
        return false;
    }
    m_texts = std::move(texts);
    return true;
}

QString StringTable::Lookup(const QString& id) const {
    return m_texts.value(id);
}

namespace {

std::mutex g_tableLock;
StringTable g_table;
bool g_loaded = false;

}  // namespace

bool StringTable::Init(const std::function<bool(std::string& bytes)>& readFile) {
    std::lock_guard<std::mutex> guard(g_tableLock);
    if (g_loaded) {
        return true;
    }
    std::string bytes;
    if (!readFile || !readFile(bytes)) {
        return false;
    }
    g_loaded = g_table.Load(bytes);
    return g_loaded;
}

QString StringTable::Text(const QString& id) {
    std::lock_guard<std::mutex> guard(g_tableLock);
    return g_table.Lookup(id);
}
