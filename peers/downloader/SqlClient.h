#pragma once

#include <string>

#include "peers/downloader/DownloaderRecords.h"

// SQL against the downloader's database ("/EXECSQL.KIVO"). Not serialised
// with the course-manager requests: the answer store calls it from its own
// worker.

constexpr const char* kExecSqlPath = "/EXECSQL.KIVO";
constexpr int kExecSqlConnectTimeoutMs = 200;
constexpr int kExecSqlSendTimeoutMs = 1000;
constexpr int kExecSqlReceiveTimeoutMs = 5000;
// The downloader starts every table text with a separator of this length.
constexpr size_t kSqlSeparatorLength = 12;

// Sends the statement unchanged: 0 when the downloader ran it and answered
// a well-formed table (result holds it; its retCode is the statement's
// outcome), -1 otherwise (result empty).
int ExecSql(const std::string& statement, ExecSqlResult& result);

// Reads the separator format: 0, or -1 with the result reset.
int ParseSqlResult(const std::string& text, ExecSqlResult& result);
