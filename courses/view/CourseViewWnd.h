#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "channel/ArgumentRecords.h"
#include "peers/office/ContainerSession.h"
#include "ui/WindowImplBaseNew.h"
#include "ui/WindowSingleton.h"

class CAnimationLabel;
class QLabel;
class QPushButton;

// One course being shown: what the open step on a channel thread and the
// window on the GUI thread share. The window may go while the open step
// still downloads; the step keeps this and finds the course cancelled.
struct CourseViewing {
    CourseViewArgs request;
    std::string localPath;
    std::string officeProcess;  // "" for a type that is no Office document
    ContainerSession container;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> opening{false};
};

// A course document at (nearly) full screen: the Office container shows it
// below the window's bar. Optionally asks every few seconds whether the
// learner is still there and closes the course when nobody answers. At most
// one exists; GUI thread only, except OpenDocument (a channel thread).
class CCourseViewWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr uint32_t kStyle = 0x80B;
    static constexpr const char* kClassName = "CourseViewWnd";
    static constexpr int kAttachTimer = 1;
    static constexpr int kAttachIntervalMs = 1000;
    static constexpr int kIdleTimer = 2;
    static constexpr int kIdlePromptSeconds = 10;
    static constexpr int64_t kClickGuardSeconds = 3;
    // The window leaves the bottom of the screen free (a panel), the
    // container leaves the window's bar free.
    static constexpr int kBottomMargin = 30;
    static constexpr int kContainerTop = 50;
    static constexpr int kContainerBottomMargin = 80;
    static constexpr int kPlaceAgainMs = 300;
    static constexpr int kPlaceAttempts = 10;

    CCourseViewWnd();
    ~CCourseViewWnd() override;

    // Shows the window for the course (closing the one shown before); true.
    bool ShowCourse(const CourseViewArgs& request);
    // Downloads the shown course's document when it is not cached yet and
    // starts the container on it; true when the container started. Any thread.
    static bool OpenDocument();
    // Ends the container, the Office processes the course started and, when
    // so configured, the cached copy; closes the window when asked.
    void CloseCourse(bool closeWindow);

    // Where course documents are cached: the data folder.
    static void SetDataPath(const std::string& dataPath);

protected:
    QString GetSkinFile() const override { return "CourseViewWnd.xml"; }
    void InitAfterCreate() override;
    void OnTimer(int id) override;
    void ClickNotify(const QString& name) override;
    void OnClose(bool& handled) override;
    void OnFinalMessage() override;

private:
    bool LaunchOnGuiThread(const std::shared_ptr<CourseViewing>& course);
    void HideLoading();
    void PromptIdleLearner();
    void CheckEmbedded(int attemptsLeft);

    QPushButton* m_close = nullptr;
    CAnimationLabel* m_loading = nullptr;
    QLabel* m_loadTips = nullptr;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    std::shared_ptr<CourseViewing> m_course;
    // Seconds since 1970 of the last show request; 0 once the container
    // started, -1 before any request.
    int64_t m_openTime = -1;
    bool m_prompting = false;
};

// The process's course view window object, created (without a window) on
// first use; from another thread the object is created on the GUI thread.
inline CCourseViewWnd* CourseViewWindow() {
    return WindowSingleton<CCourseViewWnd>::Get();
}
inline CCourseViewWnd* ExistingCourseViewWindow() {
    return WindowSingleton<CCourseViewWnd>::Existing();
}

// Shows the course view window on the course (GUI thread): 0 when the
// window took the course, -1 for a request whose learner, hash or type would
// name a file outside the course cache.
int ShowCourseViewWindow(const CourseViewArgs& course);
