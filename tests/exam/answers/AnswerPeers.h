#pragma once

#include <json/json.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Version.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"

// The peers of the answer store as real processes: the built client, the
// downloader and platform stand-ins, and logind's mock on the private bus of
// dbus-run-session.

constexpr const char* kAnswerPath = "/lms/api/ExamAnswer.ashx";
constexpr const char* kBoxPath = "/a.tundrelcgi";
inline const std::string kOkAnswer =
    R"(cb([{"errorCode":"0","errorMsg":"ok","isSuccess":"true","version":")" +
    std::string(kClientVersion) + R"("}]))";
constexpr int kDeliveryWaitMs = 30000;

class LogindMock {
public:
    // False (the test skips) outside dbus-run-session or without the mock.
    bool Start();
    // ListInhibitors as gdbus prints it.
    std::string Inhibitors();

private:
    ChildProcess m_process;
};

class ClientProcess {
public:
    explicit ClientProcess(const TempDir& dir) : m_dir(dir) {}
    // extra replaces or adds environment entries (QT_QPA_PLATFORM=xcb and
    // SESSION_MANAGER for a client on the X session).
    bool Start(int downloaderPort, const std::map<std::string, std::string>& extra = {});
    // SIGKILL: nothing of the client's own shutdown runs.
    void Kill();
    int Stop();
    std::string Submit(const std::string& body);
    int Port() const { return m_port; }
    std::string Log();
    ChildProcess& Process() { return *m_process; }

private:
    const TempDir& m_dir;
    int m_port = 0;
    // One object per run: a restarted client is a new process.
    std::unique_ptr<ChildProcess> m_process = std::make_unique<ChildProcess>();
};

// The answer text of one learner and exam, with the characters that break
// careless quoting: quotes, backslashes, newlines and Chinese text.
std::string AnswerBody(const std::string& webUrl, const std::string& exam,
                       const std::string& text = "it's \"quoted\" \\ back\\slash\n第二行 答案 ''");

bool IsPost(const Json::Value& entry, const std::string& path);
std::vector<Json::Value> Posts(JournalWatch& journal, const std::string& path);

// The examAnswer rows of the downloader: examId -> {answer, status}.
std::map<std::string, std::pair<std::string, std::string>> DownloaderRows(
    const std::string& downloaderUrl);
