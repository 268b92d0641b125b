#include "courses/view/CourseViewWnd.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>

#include "config/StringTable.h"
#include "config/VersionSetting.h"
#include "courses/view/CourseDocument.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "platform/x11/X11MessageFilter.h"
#include "platform/x11/X11Windows.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"

namespace {

std::string g_dataPath;

int64_t Now() {
    return static_cast<int64_t>(time(nullptr));
}

// What closing a course leaves behind: no container, no Office process the
// course started and, unless the cache is to be kept, no cached copy.
void EndCourse(CourseViewing& course) {
    course.cancelled = true;
    course.container.CloseContainer();
    course.container.KillLeftoverOffice(course.officeProcess);
    if (VersionSetting::Current().AutoDelCache) {
        std::remove(course.localPath.c_str());
    }
}

}  // namespace

int ShowCourseViewWindow(const CourseViewArgs& course) {
    const CourseViewArgs* request = &course;
    // The three parts become a file name under the course cache.
    if (!IsPlainFileName(request->userUid) || !IsPlainFileName(request->courseHash) ||
        !(request->courseType.empty() || IsPlainFileName(request->courseType))) {
        LOG_ERROR("course view refused: learner, hash or type is no plain file name");
        return -1;
    }
    return CourseViewWindow()->ShowCourse(*request) ? 0 : -1;
}

void CCourseViewWnd::SetDataPath(const std::string& dataPath) {
    g_dataPath = dataPath;
}

CCourseViewWnd::CCourseViewWnd() = default;

CCourseViewWnd::~CCourseViewWnd() {
    WindowSingleton<CCourseViewWnd>::Forget(this);
}

bool CCourseViewWnd::ShowCourse(const CourseViewArgs& request) {
    if (IsCreated()) {
        CloseCourse(false);
    }
    m_openTime = Now();
    auto course = std::make_shared<CourseViewing>();
    course->request = request;
    course->officeProcess = OfficeProcessName(request.courseType);
    course->localPath =
        CourseDocumentPath(g_dataPath, request.userUid, request.courseHash, request.courseType);
    m_course = course;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        m_screenWidth = screen->geometry().width();
        m_screenHeight = screen->geometry().height();
    }
    if (!IsCreated()) {
        if (!Create(nullptr, kClassName, kStyle, 0)) {
            m_course.reset();
            return false;
        }
        ShowWindow(true, true);
    } else {
        InitAfterCreate();  // the loading animation and tip show again
    }
    GetWidget()->setWindowTitle(QString::fromStdString(request.Name));
    SetControlText("course_title", QString::fromStdString(request.Name));
    GetWidget()->setGeometry(0, 0, m_screenWidth, m_screenHeight - kBottomMargin);
    ShowWindow(true, true);
    BringToFront();
    KillTimer(kIdleTimer);
    if (request.preventHangup) {
        if (request.checkHangupIntev > 0) {
            SetTimer(kIdleTimer, request.checkHangupIntev * 1000);
        } else {
            LOG_WARN("idle check asked without an interval (%d): not checked",
                     request.checkHangupIntev);
        }
    }
    return true;
}

void CCourseViewWnd::InitAfterCreate() {
    m_close = FindControl<QPushButton>("btn_close");
    m_loading = FindControl<CAnimationLabel>("animation_loading");
    m_loadTips = FindControl<QLabel>("load_tips");
    const int w = m_screenWidth;
    const int h = m_screenHeight;
    if (QWidget* bar = FindControl("course_bar")) {
        bar->setGeometry(0, 0, w, kContainerTop);
    }
    if (m_close) {
        m_close->setGeometry(w - 120, 9, 96, 31);
    }
    if (m_loading) {
        m_loading->setGeometry(w / 2 - 50, h / 2 - 50, 16, 16);
        m_loading->show();
        m_loading->StartAnimation();
    }
    if (m_loadTips) {
        m_loadTips->setGeometry(w / 2 - 30, h / 2 - 50, 100, 20);
        m_loadTips->show();
    }
}

bool CCourseViewWnd::OpenDocument() {
    // The course shown now, taken on the GUI thread; the window may go from
    // here on, the course stays with this step.
    std::shared_ptr<CourseViewing> course = MessageHub::Call([] {
        CCourseViewWnd* view = ExistingCourseViewWindow();
        return view && view->IsCreated() ? view->m_course : nullptr;
    });
    if (!course || course->opening.exchange(true)) {
        return course != nullptr;  // another request's step opens this course
    }
    course->container.TakeOfficeSnapshot(course->officeProcess);
    const std::string& path = course->localPath;
    MakeDirectoryTree(path.substr(0, path.find_last_of('/')));
    std::error_code error;
    bool ready = std::filesystem::exists(path, error);
    if (!ready) {
        ready = DownloadCourseDocument(course->request.courseUrl, path,
                                       [course] { return course->cancelled.load(); });
    }
    MessageHub::Call([course] {
        CCourseViewWnd* view = ExistingCourseViewWindow();
        if (view && view->m_course == course) {
            view->HideLoading();
        }
    });
    if (!ready) {
        if (!course->cancelled) {
            // Not waited for: the channel thread is not held by the learner.
            MessageHub::PostCall([course] {
                CCourseViewWnd* view = ExistingCourseViewWindow();
                if (view && view->m_course == course) {
                    ShowMessageBox(view, StringTable::Text("STR_LOADCOURSE_FAIL"),
                                   MessageBoxKind::kWarning, 0);
                }
            });
        }
        return false;
    }
    return MessageHub::Call([course] {
        CCourseViewWnd* view = ExistingCourseViewWindow();
        return view && view->m_course == course && !course->cancelled &&
               view->LaunchOnGuiThread(course);
    });
}

bool CCourseViewWnd::LaunchOnGuiThread(const std::shared_ptr<CourseViewing>& course) {
    const CourseViewArgs& request = course->request;
    if (!course->container.LaunchContainer(course->localPath, request.isTop, 0, kContainerTop,
                                           m_screenWidth,
                                           m_screenHeight - kContainerBottomMargin)) {
        return false;
    }
    m_openTime = 0;
    SetTimer(kAttachTimer, kAttachIntervalMs);
    // Looked for at once when a window shows up; the timer stays as a fallback.
    QPointer<CCourseViewWnd> self(this);
    WatchNewWindows([self] {
        if (self) {
            self->OnTimer(kAttachTimer);
        }
    });
    return true;
}

void CCourseViewWnd::HideLoading() {
    if (m_loading) {
        m_loading->StopAnimation();
        m_loading->hide();
    }
    if (m_loadTips) {
        m_loadTips->hide();
    }
}

void CCourseViewWnd::OnTimer(int id) {
    if (id == kIdleTimer) {
        PromptIdleLearner();
        return;
    }
    if (id != kAttachTimer || !m_course || !m_course->container.Launched() ||
        m_course->container.ContainerWindow() != 0) {
        return;
    }
    const QPoint origin = GetWidget()->geometry().topLeft();
    const std::string title = StringTable::Text("STR_WINDOW_TITLE").toUtf8().toStdString();
    if (!m_course->container.AttachContainerWindow(title, NativeHandle(), origin.x(), origin.y())) {
        return;
    }
    KillTimer(kAttachTimer);
    WatchNewWindows({});
    BringToFront();
    CheckEmbedded(kPlaceAttempts);
    // An embedded window of another program gets the keyboard when the
    // pointer is over it.
    const NativeWindow container = m_course->container.ContainerWindow();
    WatchPointerEntry(container, [container] { FocusWindow(container); });
}

void CCourseViewWnd::CheckEmbedded(int attemptsLeft) {
    // The window manager may still have been busy with the window it just
    // lost: look again once it is done.
    QPointer<CCourseViewWnd> self(this);
    std::weak_ptr<CourseViewing> weak = m_course;
    QTimer::singleShot(kPlaceAgainMs, this, [self, weak, attemptsLeft] {
        std::shared_ptr<CourseViewing> course = weak.lock();
        if (self && course && self->m_course == course &&
            !course->container.PlaceContainerWindow() && attemptsLeft > 1) {
            self->CheckEmbedded(attemptsLeft - 1);
        }
    });
}

void CCourseViewWnd::PromptIdleLearner() {
    // The box waits in a loop of its own, where this timer keeps firing.
    if (m_prompting || !m_course) {
        return;
    }
    m_prompting = true;
    QPointer<CCourseViewWnd> self(this);
    std::shared_ptr<CourseViewing> course = m_course;
    const bool stillHere = ShowMessageBox(this, StringTable::Text("STR_CONTINUELEARNING"),
                                          MessageBoxKind::kCountdownYesNo, kIdlePromptSeconds);
    if (!self) {
        return;
    }
    m_prompting = false;
    // A course closed or replaced meanwhile is not this prompt's to close.
    if (!stillHere && m_course == course) {
        LOG_INFO("no answer to the idle prompt: the course closes");
        CloseCourse(true);
    }
}

void CCourseViewWnd::ClickNotify(const QString& name) {
    if (m_openTime != 0 && Now() - m_openTime < kClickGuardSeconds) {
        return;  // the container has not started yet
    }
    if (name == "btn_close") {
        CloseCourse(true);
    }
}

void CCourseViewWnd::CloseCourse(bool closeWindow) {
    KillTimer(kAttachTimer);
    KillTimer(kIdleTimer);
    WatchNewWindows({});
    WatchPointerEntry(0, {});
    // The container goes before the window: an X window takes the windows
    // embedded in it along when it is destroyed.
    if (std::shared_ptr<CourseViewing> course = std::exchange(m_course, nullptr)) {
        EndCourse(*course);
    }
    if (closeWindow && IsCreated()) {
        Close();
    }
}

void CCourseViewWnd::OnClose(bool& handled) {
    // Closed by other means than the course's own close (the window
    // manager, the end of the program).
    CloseCourse(false);
    handled = false;
}

void CCourseViewWnd::OnFinalMessage() {
    if (std::shared_ptr<CourseViewing> course = std::exchange(m_course, nullptr)) {
        WatchNewWindows({});
        WatchPointerEntry(0, {});
        EndCourse(*course);
    }
    m_close = nullptr;
    m_loading = nullptr;
    m_loadTips = nullptr;
    WindowSingleton<CCourseViewWnd>::Forget(this);
    deleteLater();
}
