#include "exam/camera/CameraControl.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "exam/window/ExamWnd.h"

namespace {

constexpr const char* kWindowName = "CameraControlWnd";
// The system's own text, fixed as it stands (not from the string table).
constexpr const char* kFaultText =
    "摄像设备出现异常,请尽快确保摄像设备的正常连接,以免耽误您的考试!错误码：%1";
constexpr int kTipHalfWidth = 150;
constexpr int kTipHalfHeight = 50;
constexpr int kTipWidth = 500;
constexpr int kTipHeight = 100;

CCameraControl* g_cameraControl = nullptr;

}  // namespace

CCameraControl* CCameraControl::Instance() {
    if (!g_cameraControl) {
        g_cameraControl = new CCameraControl();
    }
    return g_cameraControl;
}

CCameraControl* CCameraControl::Existing() {
    return g_cameraControl;
}

CCameraControl::~CCameraControl() {
    if (g_cameraControl == this) {
        g_cameraControl = nullptr;
    }
}

void CCameraControl::ShowCameraFault(int code) {
    m_status = code;
    if (code == kFaultCode || code == kLostCode) {
        const QString text = QString::fromUtf8(kFaultText).arg(code);
        if (IsCreated()) {
            SetTip(text);
            return;
        }
        CExamWnd* exam = ExistingExamWindow();
        if (!Create(exam && exam->IsCreated() ? exam : nullptr, kWindowName, 0, WS_EX_TOOLWINDOW)) {
            return;
        }
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            m_screenWidth = screen->geometry().width();
            m_screenHeight = screen->geometry().height();
        }
        if (m_tip) {
            m_tip->setGeometry(m_screenWidth / 2 - kTipHalfWidth,
                               m_screenHeight / 2 - kTipHalfHeight, kTipWidth, kTipHeight);
        }
        SetTip(text);
        GetWidget()->setWindowOpacity(kAlpha / 255.0);
        GetWidget()->setGeometry(0, 0, m_screenWidth, m_screenHeight);
        ShowWindow(true, true);
    } else if (code == kRecoveredCode) {
        Close();
    }
}

void CCameraControl::SetTip(const QString& text) {
    if (m_tip) {
        m_tip->setText(text);
    }
    // The title carries the text too, for tools that read windows from outside.
    GetWidget()->setWindowTitle(text);
}

void CCameraControl::InitAfterCreate() {
    m_tip = FindControl<QLabel>("tip");
}

void CCameraControl::ClickNotify(const QString& name) {
    if (name == "btn_close") {
        Close();
    }
}

void CCameraControl::OnFinalMessage() {
    m_tip = nullptr;
    if (g_cameraControl == this) {
        g_cameraControl = nullptr;
    }
    deleteLater();
}
