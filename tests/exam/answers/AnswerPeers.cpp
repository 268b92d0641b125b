#include "tests/exam/answers/AnswerPeers.h"

#include <csignal>
#include <cstdlib>

#include "tests/support/Files.h"
#include "tests/support/HttpFetch.h"

namespace {

constexpr int kStartLimitMs = 15000;
constexpr int kBusWaitSeconds = 20;

}  // namespace

bool LogindMock::Start() {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !HaveProgram("gdbus")) {
        return false;
    }
    setenv("DBUS_SYSTEM_BUS_ADDRESS", session, 1);
    if (!m_process.Start({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "logind"})) {
        return false;
    }
    return RunCommand("gdbus wait --system --timeout " + std::to_string(kBusWaitSeconds) +
                      " org.freedesktop.login1 && echo up") == "up\n";
}

std::string LogindMock::Inhibitors() {
    return RunCommand(
        "gdbus call --system --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 "
        "--method org.freedesktop.login1.Manager.ListInhibitors 2>&1");
}

bool ClientProcess::Start(int downloaderPort, const std::map<std::string, std::string>& extra) {
    m_port = FreeLocalPort();
    const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    m_process = std::make_unique<ChildProcess>();
    std::map<std::string, std::string> env = {{"QORVANE_CHANNEL_PORT", std::to_string(m_port)},
         {"QORVANE_DATA_PATH", m_dir.file("client")},
         {"QORVANE_REGISTRY_DIR", m_dir.file("registry")},
         {"QORVANE_DOWNLOADER_PORT", std::to_string(downloaderPort)},
         {"QORVANE_ANSWER_RETRY_MS", "200"},
         {"XDG_RUNTIME_DIR", m_dir.path().string()},
         // Never the machine's own logind.
         {"DBUS_SYSTEM_BUS_ADDRESS", bus ? bus : "unix:path=/nonexistent/qorvane-test-bus"},
         {"QT_QPA_PLATFORM", "offscreen"}};
    for (const auto& [name, value] : extra) {
        env[name] = value;
    }
    bool started = m_process->Start({std::string(QORVANE_BIN_DIR) + "/QorvanePlatform"}, env,
                                    m_dir.path().string());
    return started && m_process->WaitForOutput("ChannelServer", kStartLimitMs);
}

void ClientProcess::Kill() { m_process->Stop(SIGKILL); }

int ClientProcess::Stop() { return m_process->Stop(); }

std::string ClientProcess::Submit(const std::string& body) {
    // The method travels in the query and the answer in the body: a GET
    // with a body, since the channel reads a POST's parameters from its body.
    HttpResult result = HttpFetch::Send(
        "GET",
        "http://127.0.0.1:" + std::to_string(m_port) +
            "/EXAMREQUEST.KIVO?MethodName=SubmitExamAnswers&CallbackFunc=cb",
        body, "application/json");
    return result.body;
}

std::string ClientProcess::Log() { return ReadWholeFile(m_dir.file("client/log/QorvaneUI.log")); }

std::string AnswerBody(const std::string& webUrl, const std::string& exam, const std::string& text) {
    Json::Value item(Json::objectValue);
    item["userUid"] = "learner-1";
    item["examUid"] = exam;
    item["domainUrl"] = HttpFetch::Encode(webUrl);
    item["path"] = kAnswerPath;
    item["answerText"] = text;
    Json::Value root(Json::arrayValue);
    root.append(item);
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, root);
}

bool IsPost(const Json::Value& entry, const std::string& path) {
    return entry["method"].asString() == "POST" && entry["path"].asString() == path;
}

std::vector<Json::Value> Posts(JournalWatch& journal, const std::string& path) {
    std::vector<Json::Value> posts;
    for (const Json::Value& entry : journal.Entries()) {
        if (IsPost(entry, path)) {
            posts.push_back(entry);
        }
    }
    return posts;
}

std::map<std::string, std::pair<std::string, std::string>> DownloaderRows(
    const std::string& downloaderUrl) {
    std::map<std::string, std::pair<std::string, std::string>> rows;
    HttpResult result = HttpFetch::Get(
        downloaderUrl + "/EXECSQL.KIVO?Sql=" +
        HttpFetch::Encode("select examId, answer, status from examAnswer where userId='learner-1'"));
    // <SqlResult><![CDATA[sep 0 sep msg sep rows sep cols sep cells...]]></SqlResult>
    size_t open = result.body.find("<SqlResult><![CDATA[");
    size_t close = result.body.rfind("]]></SqlResult>");
    if (open == std::string::npos || close == std::string::npos) {
        return rows;
    }
    open += 20;
    std::string text = result.body.substr(open, close - open);
    const std::string sep = text.substr(0, 12);
    std::vector<std::string> fields;
    for (size_t pos = 12, end; (end = text.find(sep, pos)) != std::string::npos; pos = end + 12) {
        fields.push_back(text.substr(pos, end - pos));
    }
    for (size_t i = 4; i + 2 < fields.size(); i += 3) {
        rows[fields[i]] = {fields[i + 1], fields[i + 2]};
    }
    return rows;
}
