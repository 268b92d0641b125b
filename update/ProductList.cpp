#include "update/ProductList.h"

#include <QXmlStreamReader>

#include <cstdlib>

bool ParseProductList(const std::string& utf8, ProductInfo& info) {
    ProductInfo read;
    QXmlStreamReader reader(QByteArray::fromRawData(utf8.data(), static_cast<int>(utf8.size())));
    if (!reader.readNextStartElement()) {
        return false;
    }
    while (reader.readNextStartElement()) {
        const QString name = reader.name().toString();
        const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        auto is = [&name](const char* expected) {
            return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
        };
        if (is("ViewVersion")) {
            read.version = text.toStdU16String();
        } else if (is("MD5")) {
            read.md5 = text.toStdU16String();
        } else if (is("Size")) {
            // Decimal with leading blanks, sign and trailing garbage allowed.
            read.size = std::strtoll(text.toUtf8().constData(), nullptr, 10);
        } else if (is("FileName")) {
            read.fileName = text.toStdU16String();
        } else if (is("Log")) {
            read.log = text.toStdU16String();
        }
    }
    if (reader.hasError() || read.version.empty() || read.size <= 0) {
        return false;
    }
    info = read;
    return true;
}
