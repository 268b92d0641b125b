#pragma once

#include <string>

// The downloader's exam requests on "/EXAMREQUEST.KIVO": handing over the
// learner's Office answer for upload, and fetching the paper again.

constexpr const char* kExamRequestPath = "/EXAMREQUEST.KIVO";
constexpr int kSubmitFileTimeoutMs = 180000;
constexpr int kRestartExamTimeoutMs = 100;

// The RequestArgs text of "SubmitFile": [{"LocalPath":..,"OriginalUrl":..}]
// with the address URL-encoded.
std::string BuildSubmitFileArgs(const std::string& localPath, const std::string& originalUrl);
// The downloader's answer to "SubmitFile": atoi of element 0's errorCode;
// -1 for an answer that is not JSON, a root neither null nor an array, or no
// string errorCode.
int ParseSubmitFileAnswer(const std::string& body);
// Sends the file; -1 as well for a failed transfer or a status other than 200.
int SubmitFile(const std::string& localPath, const std::string& originalUrl);

// Channel 1 (acceleration), 0 (original), or kRestartFromStart (neither).
constexpr int kRestartFromStart = -1;
std::string RestartExamUrl(int channel);
// Sends the request and returns without looking at the answer.
void SendRestartExam(int channel);
