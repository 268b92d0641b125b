#include "exam/paper/LoadExamPaperWnd.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <thread>

#include "exam/window/ExamWnd.h"
#include "peers/downloader/ExamRequests.h"
#include "platform/x11/X11Lockdown.h"

namespace {

constexpr const char* kWindowName = "CLoadExamPaperWnd";
constexpr const char* kButtonNames[PaperLoadingRules::kButtonCount] = {
    "btn_retry_exam", "btn_exit_exam", "btn_try_speedup_channel", "btn_try_original_channel",
    "btn_exit_download_paper"};

// The downloader's answer is not looked at; the GUI never waits for it.
void RestartInBackground(int channel) {
    std::thread([channel] { SendRestartExam(channel); }).detach();
}

}  // namespace

CLoadExamPaperWnd::~CLoadExamPaperWnd() {
    WindowSingleton<CLoadExamPaperWnd>::Forget(this);
}

void CLoadExamPaperWnd::InitAfterCreate() {
    GetWidget()->setWindowTitle(QString::fromUtf8(kTitle));
}

void CLoadExamPaperWnd::ShowPaperLoading() {
    if (!IsCreated()) {
        m_owner = 0;
        if (!Create(nullptr, kWindowName, kStyle, WS_EX_TOPMOST)) {
            return;
        }
    }
    ShowButtons({});
    CenterWindow();
    ShowWindow(true, true);
    KeepCentredOnTop();
    SetTimer(kCentreTimer, kTimerIntervalMs);
}

void CLoadExamPaperWnd::ShowButtons(const PaperLoadingRules::Buttons& shown) {
    for (int i = 0; i < PaperLoadingRules::kButtonCount; ++i) {
        if (auto* button = FindControl<QPushButton>(kButtonNames[i])) {
            button->setVisible(shown[static_cast<size_t>(i)]);
            button->setEnabled(shown[static_cast<size_t>(i)]);
        }
    }
}

void CLoadExamPaperWnd::KeepCentredOnTop() {
    QWidget* widget = GetWidget();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!widget || !screen) {
        return;
    }
    QRect area = screen->geometry();
    widget->move((area.width() - widget->width()) / 2, (area.height() - widget->height()) / 2);
    // Above alone loses to the focused full-screen exam: the exam owns it.
    CExamWnd* exam = ExistingExamWindow();
    const NativeWindow owner = exam && exam->IsCreated() ? exam->NativeHandle() : 0;
    if (owner != m_owner && SetWindowOwner(NativeHandle(), owner)) {
        m_owner = owner;
    }
    widget->raise();
    SetWindowAbove(NativeHandle(), true);
}

void CLoadExamPaperWnd::SetStatus(int status, bool tick) {
    if (!IsCreated()) {
        return;
    }
    PaperLoadingRules::Effects effects = m_rules.SetStatus(status, tick);
    if (!effects.handled) {
        return;
    }
    if (effects.line1) {
        SetControlText("load_tips1", QString::fromStdString(*effects.line1));
        SetControlText("load_tips2", QString());
    }
    if (effects.buttons) {
        ShowButtons(*effects.buttons);
    }
    if (effects.startSpeedupTimer) {
        SetTimer(kSpeedupTimer, kTimerIntervalMs);
    }
    if (effects.startContentTimer) {
        SetTimer(kContentTimer, kTimerIntervalMs);
    }
    if (effects.stopContentTimer) {
        KillTimer(kContentTimer);
    }
    if (effects.close) {
        CloseAndRestart(effects.restart, false);
    }
}

void CLoadExamPaperWnd::CloseAndRestart(int channel, bool endExam) {
    KillTimer(kCentreTimer);
    KillTimer(kSpeedupTimer);
    KillTimer(kContentTimer);
    if (endExam) {
        if (CExamWnd* exam = ExistingExamWindow()) {
            exam->EndExam();
        }
    }
    if (channel != PaperLoadingRules::kNoRestart) {
        RestartInBackground(channel);
    }
    DestroyWindow();  // the object goes with its window
}

void CLoadExamPaperWnd::OnTimer(int id) {
    if (id == kCentreTimer) {
        KeepCentredOnTop();
    } else if (id == kSpeedupTimer) {
        SetStatus(PaperLoadingRules::kSpeedupFailed, true);
    } else if (id == kContentTimer) {
        SetStatus(PaperLoadingRules::kLoadingContent, true);
    }
}

void CLoadExamPaperWnd::ClickNotify(const QString& name) {
    if (name == "btn_exit_exam" || name == "btn_exit_download_paper") {
        CloseAndRestart(PaperLoadingRules::kNoRestart, true);
    } else if (name == "btn_try_speedup_channel") {
        CloseAndRestart(PaperLoadingRules::kRestartSpeedup, false);
    } else if (name == "btn_try_original_channel") {
        CloseAndRestart(PaperLoadingRules::kRestartOriginal, false);
    } else if (name == "btn_retry_exam") {
        CloseAndRestart(PaperLoadingRules::kRestartFromStart, true);
    }
}

void CLoadExamPaperWnd::OnFinalMessage() {
    WindowSingleton<CLoadExamPaperWnd>::Forget(this);
    deleteLater();
}
