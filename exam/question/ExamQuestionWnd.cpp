#include "exam/question/ExamQuestionWnd.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "config/StringTable.h"
#include "config/VersionSetting.h"
#include "exam/question/QuestionFinishing.h"
#include "exam/window/ExamLockdown.h"
#include "exam/window/ExamWnd.h"
#include "foundation/ClientLog.h"
#include "foundation/FileUtil.h"
#include "http/transfer/HttpTransfer.h"
#include "peers/downloader/DownloaderAddress.h"
#include "peers/downloader/ExamRequests.h"
#include "platform/x11/X11MessageFilter.h"
#include "platform/x11/X11Windows.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/browser/WebBrowser.h"

namespace {

std::string g_dataPath;

constexpr const char* kWindowName = "ExamQuestionWnd";
constexpr const char* kQuestionFolder = "/UserQuestion/";
constexpr const char* kOwnPageMark = "http://";
constexpr const char* kPaperPageFormat = "http://127.0.0.1:%d/kivoexampaper/%s";
constexpr int kHttpOk = 200;

int64_t Now() {
    return static_cast<int64_t>(time(nullptr));
}

void Notify(const char* textId) {
    // Owned by the exam window; the box lives on the GUI thread.
    ShowMessageBox(
        MessageHub::Call([] { return static_cast<WindowImplBaseNew*>(ExistingExamWindow()); }),
        StringTable::Text(textId), MessageBoxKind::kWarning, 0);
}

}  // namespace

int OpenQuestionWindow(const ExamQuestionArgs& question) {
    return QuestionWindow()->OpenQuestion(question) ? 0 : -1;
}

void CExamQuestionWnd::SetDataPath(const std::string& dataPath) {
    g_dataPath = dataPath;
}

CExamQuestionWnd::CExamQuestionWnd() = default;

CExamQuestionWnd::~CExamQuestionWnd() {
    if (m_filtering) {
        qApp->removeEventFilter(this);
    }
    WindowSingleton<CExamQuestionWnd>::Forget(this);
}

bool CExamQuestionWnd::IsOfficeQuestion() const {
    return IsOfficeDocumentType(m_question.examQuestionType);
}

std::string CExamQuestionWnd::DocumentPath() const {
    return g_dataPath + kQuestionFolder + m_question.userUid + "/" + m_question.examGradeUid + "/" +
           m_question.examQuestionUid + "." + m_question.examQuestionType;
}

bool CExamQuestionWnd::OpenQuestion(const ExamQuestionArgs& question) {
    m_openTime = Now();
    m_question = question;
    if (!IsCreated()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            m_screenWidth = screen->geometry().width();
            m_screenHeight = screen->geometry().height();
        }
        WindowImplBaseNew* parent = WindowImplBaseNew::FromNativeHandle(question.ownerWindow);
        if (!Create(parent, kWindowName, WS_CHILD, 0)) {
            return false;
        }
        ShowWindow(true, true);
    }
    SetControlText("wnd_title", StringTable::Text(question.lookOnly ? "STR_LOOKUP_ANSWER"
                                                                    : "STR_OPERATE_ANSWER"));
    if (IsOfficeQuestion()) {
        GetWidget()->setGeometry(0, 0, m_screenWidth, kBarHeight);
        GetWidget()->raise();
        GetWidget()->update();
        return true;
    }
    GetWidget()->setGeometry(0, 0, m_screenWidth, m_screenHeight);
    GetWidget()->raise();
    return false;
}

void CExamQuestionWnd::InitAfterCreate() {
    m_title = FindControl<QLabel>("wnd_title");
    m_fullscreen = FindControl<QPushButton>("btn_fullscreen");
    m_save = FindControl<QPushButton>("btn_save");
    m_close = FindControl<QPushButton>("btn_close");
    m_loadTips = FindControl<QLabel>("load_tips");
    QWidget* area = FindControl("question_area");
    if (area) {
        area->setGeometry(0, kPageTop, m_screenWidth, kPageHeight);
        auto* column = new QVBoxLayout(area);
        column->setContentsMargins(0, 0, 0, 0);
        m_page = new CWebBrowserUI(area);
        m_page->setObjectName("question_title");
        m_page->SetWebBrowserEventHandler(this);
        column->addWidget(m_page);
        m_page->setFixedWidth(m_screenWidth);
        const std::string& content = m_question.examQuestionContent;
        QString address;
        if (content.find(kOwnPageMark) != std::string::npos) {
            address = QString::fromStdString(content);
        } else {
            char text[2048];
            snprintf(text, sizeof(text), kPaperPageFormat, DownloaderPort(), content.c_str());
            address = QString::fromUtf8(text);
        }
        m_page->NavigateUrl(address);
    }

    auto place = [this](QPushButton* button, int fromRight) {
        if (button) {
            button->setGeometry(m_screenWidth - fromRight, kButtonY, kButtonWidth, kButtonHeight);
            button->show();
            button->setEnabled(true);
        }
    };
    auto hide = [](QWidget* control) {
        if (control) {
            control->hide();
        }
    };
    if (m_fullscreen) {
        m_fullscreen->setIcon(LoadImage("full.png"));
    }
    if (!IsOfficeQuestion()) {
        place(m_save, 120);
        place(m_close, 220);
        hide(m_fullscreen);
        hide(m_loadTips);
    } else if (m_question.lookOnly) {
        hide(m_save);
        place(m_close, 120);
        place(m_fullscreen, 220);
        if (m_loadTips) {
            m_loadTips->setGeometry(0, kButtonY, m_screenWidth, kButtonHeight);
            m_loadTips->setIndent((m_screenWidth - 100) / 2);
            m_loadTips->show();
        }
    } else {
        place(m_save, 120);
        place(m_close, 220);
        place(m_fullscreen, 320);
        hide(m_loadTips);
    }
}

bool CExamQuestionWnd::LaunchOnGuiThread(const std::string& path) {
    return MessageHub::Call([this, path] {
        if (!IsCreated()) {
            return false;
        }
        const int top = kBarHeight;
        if (!m_session->LaunchContainer(path, m_question.isTop, 0, top, m_screenWidth,
                                        m_screenHeight - top)) {
            return false;
        }
        m_openTime = 0;  // no click guard once a container runs
        SetTimer(kAttachTimer, kAttachIntervalMs);
        // Looked for at once when a window shows up, the timer stays as a
        // fallback.
        QPointer<CExamQuestionWnd> self(this);
        WatchNewWindows([self] {
            if (self) {
                self->OnTimer(kAttachTimer);
            }
        });
        return true;
    });
}

bool CExamQuestionWnd::StartAnswering() {
    m_session->TakeOfficeSnapshot(OfficeProcessName(m_question.examQuestionType));
    const std::string path = DocumentPath();
    MakeDirectoryTree(path.substr(0, path.find_last_of('/')));
    return LaunchOnGuiThread(path);
}

bool CExamQuestionWnd::StartViewing() {
    m_session->TakeOfficeSnapshot(OfficeProcessName(m_question.examQuestionType));
    const std::string path = DocumentPath();
    MakeDirectoryTree(path.substr(0, path.find_last_of('/')));
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        const std::string url = m_question.domainUrl;
        CHttpTransfer transfer;
        bool ok = transfer.Perform(url, kDownloadTimeoutMs, true) == 0 &&
                  transfer.responseCode == kHttpOk && StoreDownloadedDocument(path, transfer.body);
        if (ok) {
            LOG_INFO("download file [%s] from [%s] succ\n", "", url.c_str());
        } else {
            LOG_INFO("download file [%s] from [%s] failed errdesc [%d:%d] \n", "", url.c_str(),
                     transfer.result, transfer.responseCode);
            Notify("STR_LOADANSWER_FAIL");
            return false;
        }
    }
    return LaunchOnGuiThread(path);
}

void CExamQuestionWnd::OnTimer(int id) {
    if (id != kAttachTimer || !m_session->Launched() || m_session->ContainerWindow() != 0) {
        return;
    }
    // Without an exam window the container keeps its own window.
    CExamWnd* exam = ExistingExamWindow();
    NativeWindow parent = exam && exam->IsCreated() ? exam->NativeHandle() : 0;
    QPoint origin = parent != 0 ? exam->GetWidget()->geometry().topLeft() : QPoint();
    const std::string title = StringTable::Text("STR_WINDOW_TITLE").toUtf8().toStdString();
    if (m_session->AttachContainerWindow(title, parent, origin.x(), origin.y())) {
        KillTimer(kAttachTimer);
        WatchNewWindows({});
        GetWidget()->raise();
        if (parent == 0) {
            return;  // a window of its own gets its keys the usual way
        }
        CheckEmbedded(kPlaceAttempts);
        PassKeysToContainer(true);
        WatchPointerEntry(m_session->ContainerWindow(), [this] { PassKeysToContainer(true); });
        if (!m_filtering) {
            m_filtering = true;
            qApp->installEventFilter(this);
        }
    }
}

void CExamQuestionWnd::CheckEmbedded(int attemptsLeft) {
    // The window manager may still have been busy with the window it just
    // lost (placing it, or taking it back): look again once it is done.
    QPointer<CExamQuestionWnd> self(this);
    QTimer::singleShot(kPlaceAgainMs, this, [self, attemptsLeft] {
        if (self && !self->m_session->PlaceContainerWindow() && attemptsLeft > 1) {
            self->CheckEmbedded(attemptsLeft - 1);
        }
    });
}

int CExamQuestionWnd::CloseContainer() {
    return m_session->CloseContainer();
}

void CExamQuestionWnd::PassKeysToContainer(bool toContainer) {
    m_keysToContainer = toContainer;
    CExamWnd* exam = ExistingExamWindow();
    const bool grabbed = exam && exam->LockedDown();
    if (!toContainer || grabbed) {
        return;  // under the exam's grab the keys come to us and are passed on
    }
    FocusWindow(m_session->ContainerWindow());
}

bool CExamQuestionWnd::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress && m_keysToContainer) {
        // A click on the page or the bar takes the keyboard back.
        m_keysToContainer = false;
        CExamWnd* exam = ExistingExamWindow();
        if (!(exam && exam->LockedDown()) && GetWidget()) {
            FocusWindow(GetWidget()->window()->winId());
        }
    }
    if (m_keysToContainer && (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
                              type == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        NativeWindow container = m_session->ContainerWindow();
        // Keys the exam swallows stay swallowed inside the document too.
        if (container != 0 && !IsLockedKey(key->key())) {
            if (type == QEvent::ShortcutOverride) {
                event->accept();  // no shortcut of ours; the press follows
                return true;
            }
            SendKeyEvent(container, type == QEvent::KeyPress, key->nativeScanCode(),
                         key->nativeModifiers());
            return true;
        }
    }
    return WindowImplBaseNew::eventFilter(watched, event);
}

void CExamQuestionWnd::ClickNotify(const QString& name) {
    const int64_t opened = m_openTime;
    if (opened != 0 && Now() - opened < kClickGuardSeconds) {
        return;
    }
    if (name == "btn_close") {
        StartFinishing(false);
    } else if (name == "btn_save") {
        if (IsOfficeQuestion()) {
            StartFinishing(true);
        } else {
            JudgeOtherQuestion();
        }
    } else if (name == "btn_fullscreen") {
        ToggleFullScreen();
    }
}

void CExamQuestionWnd::JudgeOtherQuestion() {
    if (!m_page) {
        return;
    }
    const QString questionUid = QString::fromStdString(m_question.examQuestionUid);
    QPointer<CExamQuestionWnd> self(this);
    m_page->CallPageFunction("GetScore", {}, [self, questionUid](const QVariant& score) {
        if (CExamWnd* exam = ExistingExamWindow()) {
            exam->CallPageFunction("SetJudgeScoreForOneQuestion", {questionUid, score});
        }
        if (self) {
            self->DestroyWindow();
        }
    });
}

void CExamQuestionWnd::ToggleFullScreen() {
    QWidget* root = GetWidget();
    if (m_enlarged) {
        root->setGeometry(0, 0, m_screenWidth, kBarHeight);
        if (m_page) {
            m_page->setFixedHeight(kPageHeight);
            m_page->parentWidget()->setGeometry(0, kPageTop, m_screenWidth, kPageHeight);
        }
        if (m_fullscreen) {
            m_fullscreen->setIcon(LoadImage("full.png"));
        }
    } else {
        root->setGeometry(0, 0, m_screenWidth, m_screenHeight);
        const int height = m_screenHeight - kPageTop;
        if (m_page) {
            m_page->setFixedHeight(height);
            m_page->parentWidget()->setGeometry(0, kPageTop, m_screenWidth, height);
        }
        if (m_fullscreen) {
            m_fullscreen->setIcon(LoadImage("back.png"));
        }
    }
    root->raise();
    m_enlarged = !m_enlarged;
    // The container's window sits above everything drawn in the exam window:
    // it makes room while the bar covers the screen.
    SetWindowMapped(m_session->ContainerWindow(), !m_enlarged);
    if (!m_enlarged) {
        m_session->PlaceContainerWindow();
    }
}

namespace {

// Lets the next finishing start, however this one ends.
class FinishingTurn {
public:
    explicit FinishingTurn(std::shared_ptr<std::atomic<bool>> flag) : m_flag(std::move(flag)) {}
    FinishingTurn(const FinishingTurn&) = delete;
    FinishingTurn& operator=(const FinishingTurn&) = delete;
    ~FinishingTurn() { *m_flag = false; }

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};

// Saves (and hands in) the document when asked; true when the question may
// close. A failure is told to the learner and keeps the question open.
bool SaveAndHandIn(ContainerSession& session, const ExamQuestionArgs& question,
                   const std::string& path, QPointer<CExamQuestionWnd> self, int& submitted) {
    if (SaveDocumentToLocal(path, [&] { return session.RequestSave(); }) != 0) {
        LOG_INFO("SavaFileToLocal failed \n");
        Notify("STR_SAVE_FAIL");
        return false;
    }
    if (question.domainUrl.empty()) {
        Notify("STR_SAVE_SUCCESS");
        return false;
    }
    submitted = SubmitFile(path, question.domainUrl);
    if (submitted == -1) {
        LOG_INFO("SavaFileToLocal failed \n");
        Notify("STR_SAVE_FAIL");
        return false;
    }
    if (submitted != 0) {
        LOG_INFO("UploadFileTo %s failed \n", question.domainUrl.c_str());
        Notify("STR_UPLOAD_FAIL");
        return false;
    }
    MessageHub::Call([self] {
        if (self) {
            MessageHub::Post(self.data(), WM_ANSWER_UPLOADED, 0, 0);
        }
    });
    Notify("STR_UPLOAD_SUCCESS");
    return true;
}

}  // namespace

void CExamQuestionWnd::StartFinishing(bool save) {
    // One finishing at a time: two saves at once would both move the
    // document to its backup name and could lose it.
    bool idle = false;
    if (!m_finishing->compare_exchange_strong(idle, true)) {
        return;
    }
    std::shared_ptr<ContainerSession> session = m_session;
    std::shared_ptr<std::atomic<bool>> finishing = m_finishing;
    const ExamQuestionArgs question = m_question;
    const std::string path = DocumentPath();
    QPointer<CExamQuestionWnd> self(this);
    std::thread([session, finishing, question, path, save, self] {
        FinishingTurn turn(finishing);
        int submitted = 1;  // not submitted
        if (save && !SaveAndHandIn(*session, question, path, self, submitted)) {
            return;
        }
        session->CloseContainer();
        MessageHub::Call([self] {
            if (self) {
                self->DestroyWindow();
            }
        });
        if (question.lookOnly || submitted == 0) {
            session->KillLeftoverOffice(OfficeProcessName(question.examQuestionType));
            if (VersionSetting::Current().AutoDelCache) {
                std::remove(path.c_str());
            }
        }
    }).detach();
}

LRESULT CExamQuestionWnd::HandleCustomMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    if (message != WM_ANSWER_UPLOADED) {
        handled = false;
        return 0;
    }
    handled = true;
    AnswerUploaded();
    return 0;
}

void CExamQuestionWnd::AnswerUploaded() {
    const std::string address = AnswerFileAddress(m_question.domainUrl);
    LOG_INFO("SetExamUserAnswerForOneContent:param1=%s,param2=%s",
             m_question.examQuestionUid.c_str(), address.c_str());
    if (CExamWnd* exam = ExistingExamWindow()) {
        exam->CallPageFunction(
            "SetExamUserAnswerForOneContent",
            {QString::fromStdString(m_question.examQuestionUid), QString::fromStdString(address)});
    }
}

void CExamQuestionWnd::OnFinalMessage() {
    WatchPointerEntry(0, {});
    WatchNewWindows({});
    if (m_filtering) {
        m_filtering = false;
        qApp->removeEventFilter(this);
    }
    m_keysToContainer = false;
    if (m_session->Launched() && !*m_finishing) {
        // The window went without the learner finishing (the exam ended):
        // the container must not outlive it.
        std::shared_ptr<ContainerSession> session = m_session;
        std::thread([session] { session->CloseContainer(); }).detach();
    }
    WindowSingleton<CExamQuestionWnd>::Forget(this);
    deleteLater();
}
