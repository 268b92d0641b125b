#include "exam/camera/CameraPreviewWnd.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "foundation/ClientLog.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/x11/X11Windows.h"
#include "ui/MessageHub.h"

namespace {

constexpr const char* kWindowName = "CameraPreviewWnd";
constexpr const char* kIndicatorImage = "cameraPhoto%1.png";
constexpr int kButtonSize = 22;
constexpr int kMargin = 4;

// One tick for every preview: the indicator images 1 and 2 alternate.
int g_blinkTicks = 0;

}  // namespace

CCameraPreviewWnd::CCameraPreviewWnd(std::string snapshotDirectory, CameraSource source,
                                     SnapshotInterval interval)
    : m_directory(std::move(snapshotDirectory)),
      m_source(std::move(source)),
      m_interval(interval),
      m_self(this) {}

CCameraPreviewWnd::~CCameraPreviewWnd() {
    // Nothing may call back into a half-destroyed object.
    m_worker.Stop();
    m_capture.Stop();
}

bool CCameraPreviewWnd::OpenCamera(int mode, WindowImplBaseNew* parent) {
    m_mode = mode;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        m_screenWidth = screen->geometry().width();
        m_screenHeight = screen->geometry().height();
    }
    if (!IsCreated()) {
        if (!Create(parent, kWindowName, 0, WS_EX_TOOLWINDOW)) {
            return false;
        }
        SetTimer(kBlinkTimer, kTimerMs);
        int result = m_capture.Init(
            m_source, [this](const unsigned char* pixels, int width, int height, int stride) {
                TakePicture(pixels, width, height, stride);
            });
        if (m_capture.FormatChosen()) {
            LOG_INFO("%s", FormatMatchLine(m_capture.Format()).c_str());
        }
        if (result < 0) {
            LOG_ERROR("camera %s not opened (%d): %s", m_capture.DeviceName().c_str(), result,
                      m_capture.ErrorText().c_str());
            return false;
        }
        LOG_INFO("camera %s runs at %dx%d", m_capture.DeviceName().c_str(), m_capture.VideoWidth(),
                 m_capture.VideoHeight());
        if (m_mode == kSnapshotMode && !m_worker.Running()) {
            m_worker.Start(
                m_directory, m_prefix, m_interval,
                [this](const std::string& path) { return m_capture.Snapshot(path); }, m_callback);
        }
    }
    const int width = m_capture.VideoWidth();
    const int height = m_capture.VideoHeight();
    GetWidget()->setFixedSize(width, height);
    PlaceControls();
    if (m_mode == kSnapshotMode) {
        m_countdown = kShownSeconds;
        m_shown = true;
        GetWidget()->setWindowOpacity(1.0);
        GetWidget()->move(m_screenWidth / 2 - width / 2, 0);
    }
    SetTimer(kCountdownTimer, kTimerMs);
    // Shown above the exam without taking the keyboard from its page.
    GetWidget()->setAttribute(Qt::WA_ShowWithoutActivating);
    GetWidget()->show();
    GetWidget()->raise();
    return true;
}

bool CCameraPreviewWnd::CloseCamera() {
    if (m_mode == kSnapshotMode) {
        m_worker.Stop();
    }
    m_capture.Stop();
    if (IsCreated()) {
        DestroyWindow();  // OnFinalMessage lets the object go
    } else {
        deleteLater();
    }
    return true;
}

void CCameraPreviewWnd::InitAfterCreate() {
    m_indicator = FindControl<QLabel>("camera");
    m_video = FindControl("video");
    if (m_video) {
        m_video->installEventFilter(this);
        m_video->setAttribute(Qt::WA_OpaquePaintEvent);
    }
}

void CCameraPreviewWnd::PlaceControls() {
    QWidget* root = GetWidget();
    const int width = root->width();
    const int height = root->height();
    if (m_video) {
        m_video->setGeometry(0, 0, width, height);
        m_video->lower();
    }
    // The indicator sits in the strip that stays on screen.
    if (m_indicator) {
        QSize size = m_indicator->sizeHint().expandedTo(QSize(12, 12));
        m_indicator->setGeometry(width / 2 - size.width() / 2,
                                 height - kStripHeight + (kStripHeight - size.height()) / 2,
                                 size.width(), size.height());
        m_indicator->raise();
    }
    int x = width - kMargin - kButtonSize;
    for (const char* name : {"btn_close", "btn_start"}) {
        if (QWidget* button = FindControl(name)) {
            button->setGeometry(x, kMargin, kButtonSize, kButtonSize);
            button->raise();
            x -= kButtonSize + kMargin;
        }
    }
}

void CCameraPreviewWnd::OnTimer(int id) {
    if (id == kBlinkTimer) {
        ++g_blinkTicks;
        SetControlImage("camera", QString::fromLatin1(kIndicatorImage).arg(g_blinkTicks % 2 + 1));
        // Nobody manages its stacking: it goes back right above an exam
        // window that put itself on top again, below what is above that.
        if (IsVisible()) {
            if (Parent() && Parent()->IsCreated()) {
                StackAbove(NativeHandle(), Parent()->NativeHandle());
            } else {
                GetWidget()->raise();
            }
        }
    } else if (id == kCountdownTimer && m_mode == kSnapshotMode) {
        if (--m_countdown <= 0) {
            KillTimer(kCountdownTimer);
            ShowStrip();
        }
    }
}

void CCameraPreviewWnd::ShowStrip() {
    QWidget* root = GetWidget();
    root->setWindowOpacity(kStripAlpha / 255.0);
    root->move(root->x(), kStripHeight - root->height());
    m_shown = false;
}

void CCameraPreviewWnd::ShowWhole() {
    QWidget* root = GetWidget();
    root->setWindowOpacity(kShownAlpha / 255.0);
    root->move(root->x(), 0);
    m_shown = true;
    m_countdown = kShownSeconds;
    SetTimer(kCountdownTimer, kTimerMs);
}

void CCameraPreviewWnd::OnLButtonDown() {
    if (m_mode != kSnapshotMode) {
        return;
    }
    KillTimer(kCountdownTimer);
    if (m_shown) {
        ShowStrip();
    } else {
        ShowWhole();
    }
}

void CCameraPreviewWnd::ClickNotify(const QString& name) {
    if (name == "btn_close") {
        // The camera stops with its window: the snapshot thread must not
        // outlive the preview it belongs to.
        CloseCamera();
    } else if (name == "btn_start") {
        CloseCamera();
        NamedEvent started;
        if (int error = started.CreateOrOpen(kStartCameraEvent); error != 0) {
            LOG_ERROR("start camera event not opened: %d", error);
            return;
        }
        started.Set();
        started.Close();
    }
}

void CCameraPreviewWnd::OnFinalMessage() {
    m_worker.Stop();
    m_capture.Stop();
    m_video = nullptr;
    m_indicator = nullptr;
    deleteLater();
}

bool CCameraPreviewWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_video && event->type() == QEvent::Paint) {
        QPainter painter(m_video);
        if (m_picture.isNull()) {
            painter.fillRect(m_video->rect(), Qt::black);
        } else {
            painter.drawImage(m_video->rect(), m_picture);
        }
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched == GetWidget() || watched == m_video)) {
        OnLButtonDown();
        return true;
    }
    return WindowImplBaseNew::eventFilter(watched, event);
}

void CCameraPreviewWnd::TakePicture(const unsigned char* pixels, int width, int height,
                                    int stride) {
    QImage copy = QImage(pixels, width, height, stride, QImage::Format_RGB32).copy();
    {
        std::lock_guard<std::mutex> hold(m_pictureLock);
        m_pending = std::move(copy);
        if (m_pendingPosted) {
            return;  // the GUI thread has not shown the last one yet
        }
        m_pendingPosted = true;
    }
    QPointer<CCameraPreviewWnd> self = m_self;
    MessageHub::PostCall([self] {
        if (self) {
            self->ShowPendingPicture();
        }
    });
}

void CCameraPreviewWnd::ShowPendingPicture() {
    {
        std::lock_guard<std::mutex> hold(m_pictureLock);
        m_picture = std::move(m_pending);
        m_pending = QImage();
        m_pendingPosted = false;
    }
    if (!m_video) {
        return;
    }
    if (m_shown) {
        m_video->update();
    } else {
        // Only the strip is on screen; the rest is painted when it comes back.
        m_video->update(0, m_video->height() - kStripHeight, m_video->width(), kStripHeight);
    }
}
