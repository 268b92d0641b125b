#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/thread/NativeThread.h"
#include "storage/LocalDatabase.h"
#include "update/InstallerDownload.h"
#include "update/ProductInfo.h"

// Whether the update server offers something newer than this client, what
// the learner answered for that version before, and the installer download.
// The offer and the learner's choice are read and written under one lock: a
// check that arrives during a download does not change the download's offer.
class UpdateChecker {
public:
    static constexpr int kListTimeoutMs = 3000;
    // "Remind me later" asks again after a day.
    static constexpr int64_t kRemindAfterSeconds = 86400;
    enum Choice { kRemindLater = 1, kSkipVersion = 2 };
    static constexpr const char* kDatabaseFile = "Qorvane.db";
    static constexpr const char* kInstallerFolder = "/module/";
    // At exit a running download gets this long to notice the stop.
    static constexpr long kStopWaitMs = 2000;

    // The learner's answers are kept in dataPath/Qorvane.db.
    explicit UpdateChecker(const std::string& dataPath);
    ~UpdateChecker();

    // true when the server at serverAddress offers a newer version that the
    // learner has not put off; the offer is then kept for the window.
    bool CheckForUpdate(const std::u16string& serverAddress);
    bool ShouldOfferUpdate(const std::u16string& version);
    // Stores the learner's answer (kRemindLater, kSkipVersion) for the offer.
    void RememberChoice(int type);

    ProductInfo Offer() const;
    std::u16string ServerAddress() const;

    // The offer's installer, downloaded, checked and started; synchronous.
    bool DownloadInstaller(const ProductInfo& offer);

    // Runs DownloadInstaller for the current offer on a worker thread.
    // report(4, percent) after each part, then report(5, 0) when the
    // installer started or report(3, 0) when anything failed. false when a
    // download is already running.
    using Report = std::function<void(int kind, int percent)>;
    bool StartDownload(Report report);
    // Asks a running download to stop and waits a little for it.
    void Stop();

private:
    bool FetchProductList(const std::u16string& serverAddress, ProductInfo& offer);
    bool ShouldOfferLocked(const std::u16string& version);
    bool Download(const ProductInfo& offer, const std::u16string& serverAddress,
                  const InstallerDownload::Progress& progress);

    const std::string m_dataPath;
    mutable std::mutex m_lock;
    std::u16string m_serverAddress;
    ProductInfo m_offer;
    LocalDatabase m_database;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_downloading{false};
    NativeThread m_download;
};
