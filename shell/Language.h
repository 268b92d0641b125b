#pragma once

#include <QString>

// Texts shown to the learner, by id ("STR_WINDOW_TITLE", ...), from the
// skin's string table. Empty for unknown ids or before the table is loaded.
bool InitLanguage();
QString LookupText(const char* id);
