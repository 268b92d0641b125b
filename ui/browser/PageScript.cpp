#include "ui/browser/PageScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace {

// A JSON text is a script literal too, except for two line terminators that
// older engines reject inside strings; spell them as escapes.
QString AsScriptLiteral(const QByteArray& json) {
    QString text = QString::fromUtf8(json);
    text.replace(QChar(0x2028), QStringLiteral("\\u2028"));
    text.replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return text;
}

}  // namespace

QString BuildPageCall(const QString& name, const QVariantList& args) {
    QJsonArray nameBox{QJsonValue(name)};
    QByteArray nameJson = QJsonDocument(nameBox).toJson(QJsonDocument::Compact);
    // "[\"name\"]" -> "\"name\""
    nameJson = nameJson.mid(1, nameJson.size() - 2);
    QJsonArray list;
    for (const QVariant& arg : args) {
        list.append(QJsonValue::fromVariant(arg));
    }
    QByteArray argsJson = QJsonDocument(list).toJson(QJsonDocument::Compact);
    return QStringLiteral("(function(){var f=window[%1];if(typeof f!=='function')return null;"
                          "return f.apply(window,%2);})()")
        .arg(AsScriptLiteral(nameJson), AsScriptLiteral(argsJson));
}
