#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <string>

// The language table: user-visible texts by id ("STR_WINDOW_TITLE" ...),
// loaded from the skin's "StringTable.xml". Texts are kept as QString
// (UTF-16), ready for the windows.
//
// The walk starts at the root's children in document order. An element with
// at least one attribute is taken: when it has "id" it defines that id's text
// from the language attribute ("zh"; empty when absent), and then its own
// children are walked. An element without attributes is skipped with
// everything inside it. The first definition of an id wins.
class StringTable {
public:
    static constexpr const char* kFileName = "StringTable.xml";
    static constexpr const char* kLanguage = "zh";
    // Longer ids are cut to this many UTF-16 units.
    static constexpr qsizetype kMaxIdLength = 499;

    // Parses UTF-8 (or self-declared) XML bytes. On malformed XML it answers
    // false and the table keeps what it had.
    bool Load(const std::string& xml, const QString& language = kLanguage);
    // The text of the id; empty when the id is unknown.
    QString Lookup(const QString& id) const;
    qsizetype Size() const { return m_texts.size(); }

    // The process-wide table. Init loads it once through readFile (which
    // fills the bytes of "StringTable.xml" and answers whether it could):
    // true when loaded; a failed load is tried again on the next call, a
    // successful one is not repeated. Text is safe from any thread.
    static bool Init(const std::function<bool(std::string& bytes)>& readFile);
    static QString Text(const QString& id);
    static QString Text(const char* id) { return Text(QString::fromLatin1(id)); }

private:
    QHash<QString, QString> m_texts;
};
