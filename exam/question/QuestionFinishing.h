#pragma once

#include <functional>
#include <string>

// The steps of finishing an Office question that need no window: keeping the
// learner's earlier version while the container saves, and the address the
// exam page is given for the uploaded answer.

// How long the container may take to write the document after the request.
constexpr int kSaveWaitMs = 4000;

// Asks for the save (requestSave) and waits for the document. An earlier
// version is moved to path + ".bak" first and put back when no new file
// comes; the backup is removed once one has come. 0 when the document was
// written, -1 otherwise (with or without an earlier version: a missing file
// is never reported as saved).
int SaveDocumentToLocal(const std::string& path, const std::function<bool()>& requestSave,
                        int waitMs = kSaveWaitMs);

// The part of the question's answer address from the first "fileservice" up
// to, not including, the first "&InputStream" after it; the whole rest
// without "&InputStream", the whole address without "fileservice".
std::string AnswerFileAddress(const std::string& domainUrl);

// Writes a downloaded document through a temporary file, so a broken
// transfer never leaves a partial document under the final name.
bool StoreDownloadedDocument(const std::string& path, const std::string& bytes);
