#pragma once

#include <functional>
#include <string>

#include "channel/ArgumentRecords.h"

// Sends one snapshot to the platform's server for the exam (multipart
// examUid, userUid and the image), logs the outcome and removes the file
// whatever it was. stopped, when true, ends a transfer that is still running.
// true when the server took it (status 200).
bool UploadSnapshot(const ExamStartArgs& exam, const std::string& path,
                    const std::function<bool()>& stopped);
