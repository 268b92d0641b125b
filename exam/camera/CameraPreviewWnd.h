#pragma once

#include <QImage>
#include <QPointer>

#include <functional>
#include <mutex>
#include <string>

#include "exam/camera/CameraSettings.h"
#include "exam/camera/SnapshotWorker.h"
#include "platform/camera/CameraCapture.h"
#include "ui/WindowImplBaseNew.h"

class QLabel;

// The camera preview of a supervised exam: a small window at the top centre
// of the screen showing the live picture with a blinking indicator. After a
// few seconds it slides up to a 15-pixel strip; a click brings it back. In
// snapshot mode it also runs the snapshot thread. The object deletes itself
// once its window is gone. GUI thread only.
class CCameraPreviewWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr int kSnapshotMode = 2;
    static constexpr int kBlinkTimer = 1;
    static constexpr int kCountdownTimer = 2;
    static constexpr int kTimerMs = 1000;
    static constexpr int kShownSeconds = 4;
    static constexpr int kStripHeight = 15;
    static constexpr int kStripAlpha = 127;
    static constexpr int kShownAlpha = 255;
    static constexpr const char* kStartCameraEvent = "Qorvane_StartCamera";

    CCameraPreviewWnd(std::string snapshotDirectory, CameraSource source,
                      SnapshotInterval interval);
    ~CCameraPreviewWnd() override;

    void SetSnapshotPrefix(const std::string& prefix) { m_prefix = prefix; }
    void SetSnapshotCallback(CSnapshotWorker::Deliver callback) {
        m_callback = std::move(callback);
    }

    // Opens the camera in the mode with the preview as a window of parent;
    // true when the camera runs.
    bool OpenCamera(int mode, WindowImplBaseNew* parent);
    // Stops the snapshot thread and the camera and closes the window (the
    // object goes with it). Returns true.
    bool CloseCamera();

protected:
    QString GetSkinFile() const override { return "CameraPreview.xml"; }
    // Placed by itself, mostly off screen while it is a strip, which no
    // window manager allows a window it manages.
    Qt::WindowFlags ExtraWindowFlags() const override { return Qt::X11BypassWindowManagerHint; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnTimer(int id) override;
    void OnFinalMessage() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnLButtonDown();
    void ShowStrip();
    void ShowWhole();
    void PlaceControls();
    // Capture thread: keeps the newest picture and asks the GUI thread once.
    void TakePicture(const unsigned char* pixels, int width, int height, int stride);
    void ShowPendingPicture();

    std::string m_directory;
    CameraSource m_source;
    SnapshotInterval m_interval;
    int m_countdown = 0;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    int m_mode = 0;
    bool m_shown = true;
    CCameraCapture m_capture;
    CSnapshotWorker m_worker;
    std::string m_prefix;
    CSnapshotWorker::Deliver m_callback;

    QLabel* m_indicator = nullptr;
    QWidget* m_video = nullptr;
    QImage m_picture;  // GUI thread

    std::mutex m_pictureLock;
    QImage m_pending;
    bool m_pendingPosted = false;
    QPointer<CCameraPreviewWnd> m_self;
};
