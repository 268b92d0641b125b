#include "exam/answers/AnswerStore.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "exam/answers/AnswerStatements.h"
#include "foundation/ClientLog.h"
#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "foundation/UrlUtil.h"
#include "http/transfer/HttpTransfer.h"
#include "peers/downloader/CourseManagerClient.h"
#include "peers/downloader/DownloaderJson.h"
#include "peers/downloader/SqlClient.h"
#include "peers/site/PlatformServer.h"

namespace {

int64_t NowSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

void ReadString(const Json::Value& object, const char* name, std::string& field) {
    const Json::Value* value = object.isObject()
                                   ? object.find(name, name + std::char_traits<char>::length(name))
                                   : nullptr;
    if (value && value->isString()) {
        field = value->asString();
    }
}

bool RanOk(const std::string& statement, ExecSqlResult& result) {
    return ExecSql(statement, result) == 0 && result.retCode == 0;
}

}  // namespace

AnswerStore& AnswerStore::Instance() {
    // Never destroyed: the worker may still be finishing a delivery at exit.
    static AnswerStore* store = new AnswerStore();
    return *store;
}

AnswerStore::~AnswerStore() {
    Stop();
}

void AnswerStore::SetPendingListener(std::function<void()> listener) {
    {
        std::lock_guard<std::mutex> hold(m_listenerLock);
        m_listener = std::move(listener);
    }
    PendingChanged();
}

void AnswerStore::PendingChanged() {
    std::lock_guard<std::mutex> hold(m_listenerLock);
    if (m_listener) {
        m_listener();
    }
}

void AnswerStore::InstallShutdownBlock() {
    if (m_inhibitor) {
        return;
    }
    m_inhibitor = std::make_unique<ShutdownInhibitor>();
    m_inhibitor->Start([](const std::string& line) { LOG_INFO("%s", line.c_str()); },
                       [this](int budgetMs) { DeliverNow(budgetMs); });
    SetPendingListener([this] { m_inhibitor->SetHeld(HasPendingAnswers()); });
}

int AnswerStore::FirstRetryMs() const {
    const char* text = std::getenv(kRetryEnvironment);
    int value = text ? std::atoi(text) : 0;
    return value > 0 ? std::min(value, kLongestRetryMs) : kFirstRetryMs;
}

bool AnswerStore::Start(const std::string& dataPath) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_started) {
            return m_outbox.IsOpen();
        }
        m_started = true;
        m_stop = false;
    }
    const std::string file = dataPath + "/" + kOutboxFileName;
    bool opened = m_outbox.Open(file);
    if (!opened) {
        LOG_ERROR("answer outbox %s not opened: %s", file.c_str(), m_outbox.Error().c_str());
    }
    std::vector<PendingAnswer> earlier = m_outbox.Load();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_nextVersion = m_outbox.LastVersion() + 1;
        for (PendingAnswer& answer : earlier) {
            m_nextVersion = std::max(m_nextVersion, answer.version + 1);
            m_pending.push_back(std::make_shared<const PendingAnswer>(std::move(answer)));
        }
        m_wake = true;
    }
    if (!earlier.empty()) {
        LOG_INFO("answer store: %zu answers pending from an earlier run", earlier.size());
        PendingChanged();
    }
    {
        std::lock_guard<std::mutex> hold(m_doneLock);
        m_done = false;
    }
    m_worker = std::thread([this] { Run(); });
    return opened;
}

void AnswerStore::Stop() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_started || m_stop) {
            return;
        }
        m_stop = true;
    }
    m_wakeUp.notify_all();
    if (m_inhibitor) {
        m_inhibitor->Stop();
    }
    if (!m_worker.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> wait(m_doneLock);
    if (m_doneSignal.wait_for(wait, std::chrono::milliseconds(kStopWaitMs),
                              [this] { return m_done; })) {
        wait.unlock();
        m_worker.join();
    } else {
        // A delivery is still on the wire; the outbox keeps the answer for
        // the next run, so the exit does not wait for it.
        LOG_WARN("answer store: exit with a delivery in flight");
        wait.unlock();
        m_worker.detach();
    }
}

int AnswerStore::Submit(const std::string& body) {
    Json::Value root;
    if (!ParseDownloaderJson(body, root) || !(root.isNull() || root.isArray())) {
        return kSubmitNotJson;
    }
    const Json::Value& item = FirstElement(root);
    PendingAnswer answer;
    ReadString(item, "userUid", answer.userUid);
    ReadString(item, "examUid", answer.examUid);
    std::string text;
    ReadString(item, "domainUrl", text);
    answer.url = Utf8ToAnsi(PercentDecode(text));
    text.clear();
    ReadString(item, "path", text);
    answer.path = Utf8ToAnsi(text);
    answer.answer = body;
    answer.lastTime = NowSeconds();

    int status = kSubmitOk;
    {
        std::lock_guard<std::mutex> order(m_submitLock);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            answer.version = m_nextVersion++;
        }
        if (!m_outbox.Put(answer)) {
            // The downloader's table is the other durable home.
            ExecSqlResult result;
            if (RanOk(AnswerStatements::kCreateTable, result) &&
                RanOk(AnswerStatements::Store(answer), result)) {
                answer.mirrored = true;
                LOG_WARN("answer of exam %s kept by the downloader only: %s",
                         answer.examUid.c_str(), m_outbox.Error().c_str());
            } else {
                LOG_ERROR("answer of exam %s not stored anywhere; delivering from memory",
                          answer.examUid.c_str());
                status = kSubmitNotStored;
            }
        }
        ReplaceOrAppend(std::move(answer));
    }
    PendingChanged();
    return status;
}

bool AnswerStore::ReplaceOrAppend(PendingAnswer answer) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const auto& queued) { return queued->SameExam(answer); });
        if (same != m_pending.end()) {
            if ((*same)->version > answer.version) {
                return false;
            }
            *same = std::make_shared<const PendingAnswer>(std::move(answer));
        } else {
            m_pending.push_back(std::make_shared<const PendingAnswer>(std::move(answer)));
        }
        m_wake = true;
    }
    m_wakeUp.notify_all();
    return true;
}

bool AnswerStore::HasPendingAnswers() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return !m_pending.empty();
}

void AnswerStore::Run() {
    const int firstWait = FirstRetryMs();
    int wait = firstWait;
    bool retry = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(m_lock);
            auto woken = [this] { return m_wake || m_stop; };
            if (retry) {
                m_wakeUp.wait_for(hold, std::chrono::milliseconds(wait), woken);
            } else {
                m_wakeUp.wait(hold, woken);
            }
            if (m_stop) {
                break;
            }
            m_wake = false;
        }
        std::unique_lock<std::timed_mutex> pass(m_passLock);
        const bool allDone = Pass(PlatformServer::kAnswerDeliveryTimeoutMs) && m_readBackDone;
        m_outbox.Checkpoint();
        pass.unlock();
        if (allDone) {
            wait = firstWait;
            retry = false;
        } else {
            wait = retry ? std::min(wait * 2, kLongestRetryMs) : firstWait;
            retry = true;
        }
    }
    std::lock_guard<std::mutex> hold(m_doneLock);
    m_done = true;
    m_doneSignal.notify_all();
}

void AnswerStore::DeliverNow(int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::timed_mutex> pass(m_passLock, std::defer_lock);
    // A pass already on the wire is this attempt.
    if (pass.try_lock_for(std::chrono::milliseconds(timeoutMs))) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
        const int left = timeoutMs - static_cast<int>(waited);
        if (left > 0) {
            Pass(left, left);
        }
    }
}

bool AnswerStore::Pass(int timeoutMs, int budgetMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
    if (!m_readBackDone) {
        ReadBackFromDownloader();
    }
    std::vector<std::shared_ptr<const PendingAnswer>> snapshot;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        snapshot.assign(m_pending.begin(), m_pending.end());
    }
    size_t failed = 0;
    for (const auto& answer : snapshot) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_stop) {
                return false;
            }
        }
        int limitMs = timeoutMs;
        if (budgetMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                ++failed;
                continue;
            }
            limitMs = static_cast<int>(std::min<long long>(left, timeoutMs));
        }
        if (!answer->mirrored && budgetMs <= 0) {
            Mirror(*answer);
        }
        if (Deliver(*answer, limitMs)) {
            Retire(*answer);
        } else {
            ++failed;
        }
    }
    if (failed > 0) {
        LOG_WARN("answer store: %zu of %zu answers not delivered yet", failed, snapshot.size());
    }
    return failed == 0;
}

void AnswerStore::ReadBackFromDownloader() {
    std::u16string user;
    if (GetCurServerInfo(user) != 0) {
        return;  // absent: tried again on the next pass
    }
    ExecSqlResult result;
    if (!RanOk(AnswerStatements::kCreateTable, result)) {
        return;
    }
    m_tableReady = true;
    if (!user.empty() && (!RanOk(AnswerStatements::ReadBack(WideToUtf8(user)), result) ||
                          result.columnCount != AnswerStatements::kReadBackColumns)) {
        return;
    }
    size_t added = 0;
    for (const std::vector<std::string>& row : result.rows) {
        if (row.size() != static_cast<size_t>(AnswerStatements::kReadBackColumns)) {
            continue;
        }
        PendingAnswer answer;
        answer.userUid = row[0];
        answer.examUid = row[1];
        answer.answer = row[2];
        answer.url = row[3];
        answer.lastTime = ParseInt64(row[4]);
        answer.status = static_cast<int32_t>(ParseInt64(row[5]));
        answer.mirrored = true;
        int64_t deliveredTime = 0;
        m_outbox.Lookup(answer.userUid, answer.examUid, answer.path, deliveredTime);
        if (answer.lastTime <= deliveredTime) {
            // Delivered while the downloader could not hear of it.
            ExecSqlResult ignored;
            ExecSql(AnswerStatements::Delivered(answer, NowSeconds()), ignored);
            continue;
        }
        std::lock_guard<std::mutex> order(m_submitLock);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (std::any_of(m_pending.begin(), m_pending.end(),
                            [&](const auto& queued) { return queued->SameExam(answer); })) {
                continue;  // our own copy is at least as new
            }
            answer.version = m_nextVersion++;
        }
        m_outbox.Put(answer);
        ReplaceOrAppend(std::move(answer));
        ++added;
    }
    m_readBackDone = true;
    if (added > 0) {
        LOG_INFO("answer store: %zu pending answers read back from the downloader", added);
        PendingChanged();
    }
}

void AnswerStore::Mirror(const PendingAnswer& answer) {
    ExecSqlResult result;
    if (!m_tableReady) {
        if (!RanOk(AnswerStatements::kCreateTable, result)) {
            return;
        }
        m_tableReady = true;
    }
    if (!RanOk(AnswerStatements::Store(answer), result)) {
        return;
    }
    PendingAnswer mirrored = answer;
    mirrored.mirrored = true;
    auto updated = std::make_shared<const PendingAnswer>(std::move(mirrored));
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto& queued : m_pending) {
        if (queued->SameExam(answer) && queued->version == answer.version) {
            queued = updated;
        }
    }
}

std::vector<std::string> AnswerStore::BoxesFor(const std::string& url, int timeoutMs) {
    std::vector<std::string>& boxes = m_boxes[url];
    if (boxes.empty()) {
        CHttpTransfer transfer;
        if (transfer.Perform(PlatformServer::BoxListAddress(url),
                             std::min<int>(timeoutMs, PlatformServer::kBoxListTimeoutMs),
                             true) == 0) {
            boxes = PlatformServer::ParseBoxList(transfer.responseCode, transfer.body);
        }
    }
    return boxes;
}

bool AnswerStore::Deliver(const PendingAnswer& answer, int timeoutMs) {
    CHttpTransfer server;
    server.SetMethod("POST");
    server.rawBody = answer.answer;
    bool sent = server.Perform(PlatformServer::AnswerDeliveryAddress(answer.url, answer.path),
                               timeoutMs, true) == 0 &&
                server.result == 0;
    if (PlatformServer::ServerAccepted(sent, server.responseCode)) {
        LOG_INFO("answer of exam %s delivered to the server", answer.examUid.c_str());
        return true;
    }
    std::vector<std::string> boxes = BoxesFor(answer.url, timeoutMs);
    if (boxes.empty()) {
        return false;
    }
    std::uniform_int_distribution<size_t> pick(0, boxes.size() - 1);
    const std::string& box = boxes[pick(m_random)];
    CHttpTransfer cache;
    cache.SetMethod("POST");
    cache.rawBody = answer.answer;
    sent = cache.Perform(PlatformServer::BoxDeliveryAddress(box), timeoutMs, true) == 0 &&
           cache.result == 0;
    if (PlatformServer::BoxAccepted(sent, cache.responseCode, cache.body)) {
        LOG_INFO("answer of exam %s delivered to box %s", answer.examUid.c_str(), box.c_str());
        return true;
    }
    return false;
}

void AnswerStore::Retire(const PendingAnswer& answer) {
    if (!m_outbox.Retire(answer) && m_outbox.IsOpen()) {
        // It stays in the outbox and goes once more in the next run.
        LOG_ERROR("answer outbox: delivered answer not retired: %s", m_outbox.Error().c_str());
    }
    bool newer = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const auto& queued) { return queued->SameExam(answer); });
        if (same != m_pending.end()) {
            if ((*same)->version == answer.version) {
                m_pending.erase(same);
            } else {
                newer = true;
            }
        }
    }
    if (!newer) {
        // The downloader's row would otherwise go on saying pending; a newer
        // version keeps its row as it is.
        ExecSqlResult result;
        ExecSql(AnswerStatements::Delivered(answer, NowSeconds()), result);
    }
    PendingChanged();
}
