#include "update/AutoUpdateWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextBrowser>

#include <atomic>

#include "config/ClientPaths.h"
#include "foundation/Encoding.h"
#include "foundation/TextUtil.h"
#include "ui/MessageHub.h"
#include "update/UpdateChecker.h"

namespace {

constexpr const char* kWindowName = "AutoUpdateWnd";
constexpr WPARAM kProgressFailed = 3;
constexpr WPARAM kProgressPart = 4;
constexpr WPARAM kProgressDone = 5;
// A failed download is told in red.
// The system's own texts, fixed as they stand (not from the string table).
constexpr const char* kDownloadingText = "正在下载..";
constexpr const char* kDownloadFailedText = "下载失败.";
constexpr const char* kDownloadProgressText = "正在下载..%1%";
constexpr const char* kDownloadDoneText = "下载完成.";
constexpr const char* kFailedStyle = "color: #ff0000;";

CAutoUpdateWnd* g_window = nullptr;
std::atomic<UpdateChecker*> g_checker{nullptr};

bool Selected(const CAutoUpdateWnd* window, const QString& name) {
    auto* option = window->FindControl<QRadioButton>(name);
    return option && option->isChecked();
}

}  // namespace

UpdateChecker& ProcessUpdateChecker() {
    // Channel threads and the GUI thread may ask first; the first one creates it.
    static UpdateChecker* checker = [] {
        auto* created = new UpdateChecker(GetClientPaths().dataPath);
        g_checker = created;
        return created;
    }();
    return *checker;
}

void StopUpdateDownload() {
    if (UpdateChecker* checker = g_checker.load()) {
        checker->Stop();
    }
}

CAutoUpdateWnd* CAutoUpdateWnd::Existing() {
    return g_window;
}

void CAutoUpdateWnd::Show(WindowImplBaseNew* owner) {
    if (!g_window) {
        auto* window = new CAutoUpdateWnd();
        if (!window->Create(owner, kWindowName, WS_POPUP, WS_EX_TOOLWINDOW)) {
            delete window;
            return;
        }
        g_window = window;
    }
    g_window->CenterWindow();
    g_window->ShowWindow(true, true);
    g_window->BringToFront();
}

void CAutoUpdateWnd::InitAfterCreate() {
    const ProductInfo offer = ProcessUpdateChecker().Offer();
    SetControlText("file_size", QString::fromStdU16String(FormatSize(offer.size)).trimmed());
    if (auto* log = FindControl<QTextBrowser>("ver_log")) {
        log->setPlainText(QString::fromStdU16String(offer.log));
    }
    SetControlText("label_title", QString::fromStdU16String(offer.version));
}

void CAutoUpdateWnd::ClickNotify(const QString& name) {
    if (name == "btn_close") {
        CloseLater();
    } else if (name == "btn_ok") {
        if (Selected(this, "option_ignore")) {
            ProcessUpdateChecker().RememberChoice(UpdateChecker::kSkipVersion);
            CloseLater();
        } else if (Selected(this, "option_onday")) {
            ProcessUpdateChecker().RememberChoice(UpdateChecker::kRemindLater);
            CloseLater();
        } else if (Selected(this, "option_update")) {
            StartDownload();
        }
    }
}

void CAutoUpdateWnd::StartDownload() {
    if (auto* tabs = FindControl<QStackedWidget>("tab_ctrl")) {
        tabs->setCurrentIndex(kPageDownload);
    }
    SetControlText("down_tip", QString::fromUtf8(kDownloadingText));
    // The worker reports through the GUI thread, where the window is looked
    // up again: it may have been closed meanwhile.
    const bool started = ProcessUpdateChecker().StartDownload([](int kind, int percent) {
        MessageHub::PostCall([kind, percent] {
            if (CAutoUpdateWnd* window = Existing()) {
                window->HandleMessage(WM_UPDATE_PROGRESS, static_cast<WPARAM>(kind),
                                      static_cast<LPARAM>(percent));
            }
        });
    });
    if (!started) {
        // Another download of this offer is still running.
        ShowProgress(kProgressFailed, 0);
    }
}

LRESULT CAutoUpdateWnd::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                            bool& handled) {
    if (message != WM_UPDATE_PROGRESS) {
        handled = false;
        return 0;
    }
    handled = true;
    ShowProgress(wParam, lParam);
    return 0;
}

void CAutoUpdateWnd::ShowProgress(WPARAM kind, LPARAM percent) {
    auto* tip = FindControl<QLabel>("down_tip");
    if (kind == kProgressFailed) {
        if (tip) {
            tip->setStyleSheet(kFailedStyle);
            tip->setText(QString::fromUtf8(kDownloadFailedText));
        }
    } else if (kind == kProgressPart) {
        if (auto* bar = FindControl<QProgressBar>("down_pro")) {
            bar->setValue(static_cast<int>(percent));
        }
        if (tip) {
            tip->setText(QString::fromUtf8(kDownloadProgressText).arg(static_cast<int>(percent)));
        }
    } else if (kind == kProgressDone) {
        if (tip) {
            tip->setText(QString::fromUtf8(kDownloadDoneText));
        }
        CloseLater();
    }
}

void CAutoUpdateWnd::CloseLater() {
    // Not from inside the click that asked for it.
    MessageHub::Post(this, WM_CLOSE, 0, 0);
}

void CAutoUpdateWnd::OnFinalMessage() {
    if (g_window == this) {
        g_window = nullptr;
    }
    deleteLater();
}
