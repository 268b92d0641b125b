#pragma once

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "channel/ArgumentRecords.h"
#include "peers/office/ContainerSession.h"
#include "ui/WindowImplBaseNew.h"
#include "ui/WindowSingleton.h"
#include "ui/browser/WebBrowserEventHandler.h"

class CWebBrowserUI;
class QPushButton;
class QLabel;

// The question bar of an Office-operation question: a 200-pixel strip across
// the top of the exam window with the question page and the save, close and
// enlarge buttons; the Office container shows the document below it. Other
// question types show only the page. At most one exists; GUI thread only,
// except StartAnswering and StartViewing (any thread).
class CExamQuestionWnd : public WindowImplBaseNew, public CWebBrowserEventHandler {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 200;
    static constexpr int kPageTop = 50;
    static constexpr int kPageHeight = 150;
    static constexpr int kAttachTimer = 1;
    static constexpr int kAttachIntervalMs = 1000;
    static constexpr int64_t kClickGuardSeconds = 3;
    static constexpr int kButtonY = 9;
    static constexpr int kButtonWidth = 96;
    static constexpr int kButtonHeight = 31;
    static constexpr int kDownloadTimeoutMs = 120000;
    static constexpr int kPlaceAgainMs = 300;
    static constexpr int kPlaceAttempts = 10;

    CExamQuestionWnd();
    ~CExamQuestionWnd() override;

    // true for an Office question; the window is shown either way.
    bool OpenQuestion(const ExamQuestionArgs& question);
    bool StartAnswering();
    bool StartViewing();
    // Ends the question's container (waits up to a second for it); 0.
    int CloseContainer();

    // Where question documents live: the data folder + "/UserQuestion/".
    static void SetDataPath(const std::string& dataPath);
    std::string DocumentPath() const;
    bool Enlarged() const { return m_enlarged; }

protected:
    QString GetSkinFile() const override { return "ExamQuestionWnd.xml"; }
    void InitAfterCreate() override;
    void OnTimer(int id) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void ClickNotify(const QString& name) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsOfficeQuestion() const;
    bool LaunchOnGuiThread(const std::string& path);
    void ToggleFullScreen();
    void StartFinishing(bool save);
    void PassKeysToContainer(bool toContainer);
    void CheckEmbedded(int attemptsLeft);
    void AnswerUploaded();
    void JudgeOtherQuestion();

    QLabel* m_title = nullptr;
    CWebBrowserUI* m_page = nullptr;
    QPushButton* m_fullscreen = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_loadTips = nullptr;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    bool m_enlarged = false;
    ExamQuestionArgs m_question;
    // Shared with the finishing thread, which may outlive the window.
    std::shared_ptr<ContainerSession> m_session = std::make_shared<ContainerSession>();
    std::atomic<int64_t> m_openTime{0};
    std::shared_ptr<std::atomic<bool>> m_finishing = std::make_shared<std::atomic<bool>>(false);
    bool m_keysToContainer = false;
    bool m_filtering = false;
};

// The process-wide window object, created (without a window) on first use;
// from another thread the object is created on the GUI thread.
inline CExamQuestionWnd* QuestionWindow() {
    return WindowSingleton<CExamQuestionWnd>::Get();
}
inline CExamQuestionWnd* ExistingQuestionWindow() {
    return WindowSingleton<CExamQuestionWnd>::Existing();
}

// Opens the question window on the question (GUI thread): 0 when the
// question window took an Office question, -1 otherwise.
int OpenQuestionWindow(const ExamQuestionArgs& question);
