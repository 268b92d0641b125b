#include "exam/camera/ExamCameraModule.h"

#include <QPointer>
#include <QWidget>

#include "exam/camera/CameraControl.h"
#include "exam/camera/CameraPreviewWnd.h"
#include "exam/camera/SnapshotUpload.h"
#include "exam/window/ExamCamera.h"
#include "exam/window/ExamWnd.h"

namespace {

// The exam window's camera: the preview with its snapshot thread. The
// preview may close by its own buttons; it is forgotten then.
class CExamCamera : public IExamCamera {
public:
    explicit CExamCamera(std::string directory) : m_directory(std::move(directory)) {}
    ~CExamCamera() override { Close(); }

    bool Open(int mode, QWidget* parent, const std::string& prefix) override {
        if (!m_preview) {
            m_preview = new CCameraPreviewWnd(m_directory, ConfiguredCameraSource(),
                                              ConfiguredSnapshotInterval());
        }
        m_preview->SetSnapshotPrefix(prefix);
        m_preview->SetSnapshotCallback(
            [](const std::string& path, const std::function<bool()>& stopped) {
                UploadSnapshot(CurrentExam(), path, stopped);
            });
        WindowImplBaseNew* owner =
            parent
                ? WindowImplBaseNew::FromNativeHandle(static_cast<unsigned long>(parent->winId()))
                : nullptr;
        if (!m_preview->OpenCamera(mode, owner)) {
            Close();
            return false;
        }
        return true;
    }

    void Close() override {
        if (m_preview) {
            m_preview->CloseCamera();
        }
        m_preview = nullptr;
    }

private:
    std::string m_directory;
    QPointer<CCameraPreviewWnd> m_preview;
};

}  // namespace

void InstallExamCamera(const std::string& dataPath) {
    const std::string directory = SnapshotDirectory(dataPath);
    SetExamCameraFactory([directory] { return std::make_unique<CExamCamera>(directory); });
}

void ShowCameraFault(int code) {
    CCameraControl::Instance()->ShowCameraFault(code);
}
