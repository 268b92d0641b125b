#include "exam/window/ExamCamera.h"

namespace {

class CNoCamera : public IExamCamera {
public:
    bool Open(int, QWidget*, const std::string&) override { return false; }
    void Close() override {}
};

ExamCameraFactory& Factory() {
    static ExamCameraFactory factory;
    return factory;
}

}  // namespace

void SetExamCameraFactory(ExamCameraFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<IExamCamera> CreateExamCamera() {
    if (Factory()) {
        if (auto camera = Factory()()) {
            return camera;
        }
    }
    return std::make_unique<CNoCamera>();
}
