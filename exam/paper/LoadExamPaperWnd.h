#pragma once

#include "exam/paper/PaperLoadingRules.h"
#include "platform/x11/X11Windows.h"
#include "ui/WindowImplBaseNew.h"
#include "ui/WindowSingleton.h"

// The small topmost window that shows how the exam paper's download goes,
// counts down while waiting and offers to retry, to switch channel or to
// give up the exam. At most one exists; GUI thread only.
class CLoadExamPaperWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    // The system's own title, fixed as it stands (not from the string table).
    static constexpr const char* kTitle = "试卷加载提示信息";
    static constexpr uint32_t kStyle = 0x0000080B;
    static constexpr int kCentreTimer = 0;
    static constexpr int kSpeedupTimer = 1;
    static constexpr int kContentTimer = 3;
    static constexpr int kTimerIntervalMs = 1000;

    CLoadExamPaperWnd() = default;
    ~CLoadExamPaperWnd() override;

    void ShowPaperLoading();
    void SetStatus(int status, bool tick);

protected:
    QString GetSkinFile() const override { return "PaperDownloading.xml"; }
    void InitAfterCreate() override;
    void OnTimer(int id) override;
    void ClickNotify(const QString& name) override;
    void OnFinalMessage() override;

private:
    void ShowButtons(const PaperLoadingRules::Buttons& shown);
    void KeepCentredOnTop();
    void CloseAndRestart(int channel, bool endExam);

    PaperLoadingRules m_rules;
    NativeWindow m_owner = 0;  // the exam window this window belongs to
};

// The process-wide window object, created (without a window) on first use.
inline CLoadExamPaperWnd* PaperLoadingWindow() {
    return WindowSingleton<CLoadExamPaperWnd>::Get();
}
inline CLoadExamPaperWnd* ExistingPaperLoadingWindow() {
    return WindowSingleton<CLoadExamPaperWnd>::Existing();
}
