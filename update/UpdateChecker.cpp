#include "update/UpdateChecker.h"

#include <cstdlib>
#include <ctime>

#include "foundation/ClientLog.h"
#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "foundation/Version.h"
#include "http/transfer/HttpTransfer.h"
#include "update/InstallerDownload.h"
#include "update/ProductList.h"
#include "update/VersionCompare.h"

namespace {

constexpr int kHttpOk = 200;
constexpr int kReportProgress = 4;
constexpr int kReportDone = 5;
constexpr int kReportFailed = 3;

constexpr const char* kCreateTable =
    "create table if not exists tbl_AutoUpdate( ver varchar primary key,lastTime int,type int)";

std::string ChoiceStatement(int type, const std::string& version, int64_t now) {
    return "replace into tbl_AutoUpdate(ver,lastTime,type) values('" + SqlQuoted(version) + "','" +
           std::to_string(now) + "','" + std::to_string(type) + "') ";
}

std::string SelectStatement(const std::string& version) {
    return "select lastTime,type from tbl_AutoUpdate where ver='" + SqlQuoted(version) + "' ";
}

}  // namespace

UpdateChecker::UpdateChecker(const std::string& dataPath) : m_dataPath(dataPath) {
    m_database.SetPath(dataPath + "/" + kDatabaseFile);
    m_database.Exec(kCreateTable);
}

UpdateChecker::~UpdateChecker() {
    Stop();
}

bool UpdateChecker::CheckForUpdate(const std::u16string& serverAddress) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_serverAddress = serverAddress;
    }
    ProductInfo offer;
    if (!FetchProductList(serverAddress, offer)) {
        return false;
    }
    const std::u16string own = Utf8ToWide(kClientVersion);
    if (CompareVersions(offer.version, own) <= 0) {
        return false;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (!ShouldOfferLocked(offer.version)) {
        return false;
    }
    m_offer = offer;
    return true;
}

bool UpdateChecker::FetchProductList(const std::u16string& serverAddress, ProductInfo& offer) {
    const std::string url = WideToAnsi(serverAddress) + kProductListPath;
    CHttpTransfer transfer;
    if (transfer.Perform(url, kListTimeoutMs, true) != 0 || transfer.responseCode != kHttpOk) {
        LOG_WARN("product list %s: errno=%d,code=%d", url.c_str(), transfer.result,
                 transfer.responseCode);
        return false;
    }
    if (!ParseProductList(transfer.body, offer)) {
        LOG_WARN("product list %s: no version or size", url.c_str());
        return false;
    }
    return true;
}

bool UpdateChecker::ShouldOfferUpdate(const std::u16string& version) {
    std::lock_guard<std::mutex> guard(m_lock);
    return ShouldOfferLocked(version);
}

bool UpdateChecker::ShouldOfferLocked(const std::u16string& version) {
    const ExecSqlResult result = m_database.Exec(SelectStatement(WideToAnsi(version)));
    if (result.rowCount == 0) {
        return true;
    }
    if (result.retCode != 0 || result.columnCount != 2) {
        return false;
    }
    const std::vector<std::string>& row = result.rows[0];
    if (row[1] == "2") {
        return false;
    }
    if (row[1] == "1") {
        const int64_t answered = std::atoll(row[0].c_str());
        return static_cast<int64_t>(std::time(nullptr)) - answered >= kRemindAfterSeconds;
    }
    return true;
}

void UpdateChecker::RememberChoice(int type) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_database.Exec(ChoiceStatement(type, WideToAnsi(m_offer.version),
                                    static_cast<int64_t>(std::time(nullptr))));
}

ProductInfo UpdateChecker::Offer() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_offer;
}

std::u16string UpdateChecker::ServerAddress() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_serverAddress;
}

bool UpdateChecker::DownloadInstaller(const ProductInfo& offer) {
    return Download(offer, ServerAddress(), [](int) {});
}

bool UpdateChecker::Download(const ProductInfo& offer, const std::u16string& serverAddress,
                             const InstallerDownload::Progress& progress) {
    const std::string fileName = WideToUtf8(offer.fileName);
    if (!InstallerDownload::IsSafeFileName(fileName)) {
        LOG_ERROR("download installer fail, file name refused: %s", fileName.c_str());
        return false;
    }
    InstallerRequest request;
    request.url = WideToAnsi(serverAddress) + kInstallerFolder + WideToAnsi(offer.fileName);
    request.target = m_dataPath + "/" + fileName;
    request.size = offer.size;
    request.md5 = WideToUtf8(offer.md5);
    LOG_INFO("download installer %s (%lld bytes)", request.url.c_str(),
             static_cast<long long>(request.size));
    return InstallerDownload::Fetch(request, progress, m_stop) &&
           InstallerDownload::Start(request.target);
}

bool UpdateChecker::StartDownload(Report report) {
    if (m_downloading.exchange(true)) {
        return false;
    }
    // The download keeps the offer it started with, whatever a later check finds.
    ProductInfo offer;
    std::u16string server;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        offer = m_offer;
        server = m_serverAddress;
    }
    // A finished download thread may still be on its way out.
    m_download.JoinWithin(kStopWaitMs);
    const int error = m_download.Start([this, offer, server, report] {
        const bool ok =
            Download(offer, server, [&report](int percent) { report(kReportProgress, percent); });
        report(ok ? kReportDone : kReportFailed, 0);
        m_downloading = false;
    });
    if (error != 0) {
        LOG_ERROR("download thread not started,err %d", error);
        m_downloading = false;
        return false;
    }
    return true;
}

void UpdateChecker::Stop() {
    m_stop = true;
    if (m_download.Running() && !m_download.JoinWithin(kStopWaitMs)) {
        m_download.Detach();
    }
}
