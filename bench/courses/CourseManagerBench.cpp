// GUI-thread time of the course manager page: bench_course_manager
// <downloader port> <program folder> [ticks] loads the downloader's lessons
// into the page inside a main-frame layout and then refreshes it, timing each
// piece of work the page's worker hands to the GUI thread (the load, then
// every refresh's merge). Needs a display (bench/courses/run.sh starts one).

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "courses/manager/TabPageCourseManager.h"
#include "ui/MessageHub.h"
#include "ui/SkinStore.h"
#include "ui/WindowImplBaseNew.h"

namespace {

using Steady = std::chrono::steady_clock;

class BenchFrame : public WindowImplBaseNew {
protected:
    QString GetSkinFile() const override { return "MainFrame.xml"; }
};

// Times every queued call the hub runs: the page's results arrive that way.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    std::vector<double> applied;

    bool notify(QObject* receiver, QEvent* event) override {
        if (receiver != MessageHub::Instance() || event->type() != QEvent::MetaCall) {
            return QApplication::notify(receiver, event);
        }
        const auto start = Steady::now();
        const bool result = QApplication::notify(receiver, event);
        applied.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        return result;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_course_manager <downloader port> <program folder> [ticks]\n");
        return 2;
    }
    setenv("QORVANE_DOWNLOADER_PORT", argv[1], 1);
    const int ticks = argc > 3 ? std::atoi(argv[3]) : 20;
    TimedApplication app(argc, argv);
    MessageHub::Install();
    SkinStore::Instance().SetResourcePath(argv[2]);
    BenchFrame frame;
    auto* page = new CTabPageCourseManager(&frame);
    if (!frame.Create(nullptr, "BenchFrame", 0, 0)) {
        return 1;
    }
    page->Prepare();
    frame.ShowWindow(true, false);

    // The user check, the load, then refreshes one after the other.
    int step = 0;
    std::vector<double> load;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step == 0) {
            if (page->CheckUserChanged()) {
                app.applied.clear();
                page->LoadLessons();
                step = 1;
            }
        } else if (step == 1) {
            if (!page->RowIds().empty() && !page->BuildingRows()) {
                load = app.applied;
                app.applied.clear();
                step = 2;
            }
        } else if (step - 2 < ticks) {
            page->RefreshLessons();
            ++step;
        } else {
            app.quit();
        }
    });
    timer.start(200);
    app.exec();

    std::vector<double> refresh = app.applied;
    std::sort(refresh.begin(), refresh.end());
    const double loadMs = load.empty() ? 0.0 : *std::max_element(load.begin(), load.end());
    double loadTotal = 0.0;
    for (double slice : load) {
        loadTotal += slice;
    }
    std::printf(
        "%zu lessons: load %.1f ms on the GUI thread in %zu slices, the longest %.1f ms; "
        "refresh ticks %zu, GUI-thread time per tick median %.1f ms, max %.1f ms\n",
        page->RowIds().size(), loadTotal, load.size(), loadMs, refresh.size(),
        refresh.empty() ? 0.0 : refresh[refresh.size() / 2],
        refresh.empty() ? 0.0 : refresh.back());
    return 0;
}
