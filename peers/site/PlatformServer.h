#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The requests the client makes of the platform's web server and its cache
// boxes on the learner's behalf, in one place: their addresses, time-outs and
// how their answers are read. The server's address is the `domainUrl` of the
// request that started the work. Transfers themselves go through
// CHttpTransfer; nothing here touches the network.
namespace PlatformServer {

constexpr long kSnapshotUploadTimeoutMs = 10000;
constexpr long kBoxListTimeoutMs = 10000;
constexpr long kAnswerDeliveryTimeoutMs = 180000;
constexpr int kHttpOk = 200;

// The exam page: `domainUrl` itself; a paper preview address gets the current
// time appended ("&t=<seconds>") so that no cached preview is shown.
std::string ExamPageAddress(const std::string& domainUrl, std::int64_t nowSeconds);

// Camera snapshots: multipart POST (fields "examUid", "userUid", file part
// "image") to the host and port of `domainUrl`.
std::string SnapshotUploadAddress(const std::string& domainUrl);
constexpr const char* kSnapshotExamField = "examUid";
constexpr const char* kSnapshotUserField = "userUid";
constexpr const char* kSnapshotImagePart = "image";

// The list of cache boxes: GET.
std::string BoxListAddress(const std::string& domainUrl);

// The box addresses a box-list answer names: status 200 and a JSON array
// whose element 0 has `boxList` (array or object) of objects with a string
// `boxUrl`. Each address is percent-decoded; empty ones are left out. Any
// other answer names no box.
std::vector<std::string> ParseBoxList(long status, const std::string& body);

// Answer delivery to the server: POST of the answer text as raw body.
std::string AnswerDeliveryAddress(const std::string& domainUrl, const std::string& path);

// Answer delivery to a box: POST of the answer text as raw body.
std::string BoxDeliveryAddress(const std::string& boxUrl);

// The server took a delivered answer: status 200 (its body is not read).
bool ServerAccepted(bool transferred, long status);

// A box took a delivered answer: status 200 and a JSON array whose element 0
// has a string `isSuccess` reading "TRUE", "YES", "OK" or "1" in upper case.
bool BoxAccepted(bool transferred, long status, const std::string& body);

// A stored Office answer's address names the answer for the exam page by the
// part from "fileservice" up to (not including) "&InputStream"; the whole
// rest when "&InputStream" is absent, empty when "fileservice" is.
std::string StoredAnswerName(const std::string& domainUrl);

}  // namespace PlatformServer
