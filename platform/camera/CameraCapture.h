#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/camera/CameraFormat.h"

// Where the pictures come from: the first camera the system lists, or a
// source described in the media framework's own pipeline syntax together
// with the sizes it offers (tests and benchmarks use a generated picture).
struct CameraSource {
    std::string description;  // empty: the first camera
    std::vector<CameraSize> sizes;
};

// The camera of a supervised exam: one camera, run in the format closest to
// 640x480, its pictures handed to a preview as they come and, on request,
// the current picture written as a JPEG file.
class CCameraCapture {
public:
    // Preview pictures, 4 bytes a pixel (blue, green, red, unused), on the
    // capture's own thread; the bytes are valid during the call only.
    using FrameSink =
        std::function<void(const unsigned char* pixels, int width, int height, int stride)>;

    static constexpr int kNoCamera = -1;
    static constexpr int kNoFormat = -2;        // the camera offers no picture size we can use
    static constexpr int kPipelineFailed = -3;  // the pictures could not be set up or started
    static constexpr int kNoPictures = -4;      // started, but no picture arrived
    static constexpr int kFirstPictureTimeoutMs = 5000;
    static constexpr int kSnapshotTimeoutMs = 2000;
    static constexpr int kJpegQuality = 90;

    CCameraCapture();
    ~CCameraCapture();
    CCameraCapture(const CCameraCapture&) = delete;
    CCameraCapture& operator=(const CCameraCapture&) = delete;

    // Finds the camera, chooses its format (FormatChosen/Format tell which),
    // starts it and waits until the first picture has arrived: a camera that
    // opens but delivers nothing has failed. 0 or one of the codes above.
    int Init(const CameraSource& source, FrameSink sink);
    // Stops the pictures; no FrameSink call follows once it returns.
    void Stop();
    bool Running() const;

    // Writes the next picture to path as JPEG. 0, or -1 when the camera does
    // not run, no picture came within kSnapshotTimeoutMs or the file could not
    // be written (no file is left then). Any thread.
    int Snapshot(const std::string& path);

    const std::string& DeviceName() const { return m_deviceName; }
    bool FormatChosen() const { return m_formatChosen; }
    const CameraFormatChoice& Format() const { return m_format; }
    int VideoWidth() const { return m_format.size.width; }
    int VideoHeight() const { return m_format.size.height; }
    // Why the last Init or Snapshot failed.
    const std::string& ErrorText() const { return m_error; }

private:
    struct Pipeline;

    mutable std::mutex m_lock;  // the pipeline against Snapshot from another thread
    std::unique_ptr<Pipeline> m_pipeline;
    std::string m_deviceName;
    bool m_formatChosen = false;
    CameraFormatChoice m_format;
    std::string m_error;
};
