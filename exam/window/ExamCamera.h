#pragma once

#include <functional>
#include <memory>
#include <string>

class QWidget;

// The camera supervision of an exam: preview inside the exam window and the
// snapshot thread. The exam window only opens and closes it.
class IExamCamera {
public:
    virtual ~IExamCamera() = default;
    // Opens the camera in the given mode with the preview as a child of parent;
    // snapshots are named after prefix. false when no camera could be opened.
    virtual bool Open(int mode, QWidget* parent, const std::string& prefix) = 0;
    // Stops snapshots and capture; waits for the snapshot thread.
    virtual void Close() = 0;
};

using ExamCameraFactory = std::function<std::unique_ptr<IExamCamera>()>;

// Installed at start-up by the camera's own module; without one every open
// fails, which refuses exams that require the camera.
void SetExamCameraFactory(ExamCameraFactory factory);
std::unique_ptr<IExamCamera> CreateExamCamera();
