#pragma once

#include <functional>
#include <string>

// Course documents are downloaded once into the learner's course cache and
// opened from there on every later request.

// The data folder + "/UserCourse/<user>/<hash>.<type>".
std::string CourseDocumentPath(const std::string& dataPath, const std::string& userUid,
                               const std::string& courseHash, const std::string& courseType);

// Downloads the document at url (a complete address) to path: the body goes
// to a partial file beside it ("<path>.<n>.part"), which becomes path only
// once the whole body arrived
// with status 200, so a broken download never becomes the cached copy.
// cancelled is asked while the transfer runs. Logs the result; true when the
// document is in place.
bool DownloadCourseDocument(const std::string& url, const std::string& path,
                            std::function<bool()> cancelled);

constexpr int kCourseDownloadTimeoutMs = 120000;
