#pragma once

#include <QString>
#include <QVariantList>

// The script that calls window[name](args...) on a page and yields its
// result (null when the page has no such function). The name and every
// argument travel as JSON literals, so no text a page or a learner supplied
// is ever read as code.
QString BuildPageCall(const QString& name, const QVariantList& args);
