// The window base, the message hub and the message box, driven the way the
// client drives them: layouts from a skin, clicks, timers, messages from
// worker threads, modal boxes from worker threads.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <set>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "ui/Controls.h"
#include "ui/MenuWnd.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/SkinStore.h"
#include "ui/WindowImplBaseNew.h"

namespace {

constexpr UINT kAddMessage = WM_USER + 1;

// Runs the event loop until the condition holds or the limit passes.
bool PumpUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

const char* kTestLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>TestWnd</class>
 <widget class="QWidget" name="TestWnd">
  <property name="geometry"><rect><x>0</x><y>0</y><width>200</width><height>100</height></rect></property>
  <widget class="QPushButton" name="btn_go"><property name="text"><string>go</string></property></widget>
  <widget class="QLabel" name="label_state"/>
  <widget class="CAnimationLabel" name="loading">
   <property name="frames" stdset="0"><string>strip.png</string></property>
   <property name="frameCount" stdset="0"><number>3</number></property>
   <property name="interval" stdset="0"><number>10</number></property>
  </widget>
  <widget class="CIpAddressEdit" name="proxy_ip"/>
 </widget>
 <customwidgets>
  <customwidget><class>CAnimationLabel</class><extends>QLabel</extends></customwidget>
  <customwidget><class>CIpAddressEdit</class><extends>QLineEdit</extends></customwidget>
 </customwidgets>
 <resources/><connections/></ui>)";

class TestWindow : public WindowImplBaseNew {
public:
    QString skin = "TestWnd.xml";
    std::vector<QString> clicks;
    std::vector<int> ticks;
    int inits = 0;
    int finals = 0;
    bool keepOnClose = false;
    QThread* handledOn = nullptr;

protected:
    QString GetSkinFile() const override { return skin; }
    void InitAfterCreate() override { ++inits; }
    void ClickNotify(const QString& name) override { clicks.push_back(name); }
    void OnTimer(int id) override {
        ticks.push_back(id);
        if (ticks.size() == 3) {
            KillTimer(id);
        }
    }
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                bool& handled) override {
        if (message != kAddMessage) {
            handled = false;
            return 0;
        }
        handled = true;
        handledOn = QThread::currentThread();
        return static_cast<LRESULT>(wParam) + lParam;
    }
    void OnClose(bool& handled) override { handled = keepOnClose; }
    void OnFinalMessage() override { ++finals; }
};

class WindowLayer : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "skin");
        WriteWholeFile(dir.file("skin/TestWnd.xml"), kTestLayout);
        SkinStore::Instance().SetResourcePath(dir.path().string());
        SkinStore::Instance().SetArchive(SkinStore::kDefaultArchive);
    }
    TempDir dir;
};

TEST_F(WindowLayer, LayoutControlsClicksAndFinalMessage) {
    TestWindow window;
    EXPECT_FALSE(window.IsCreated());
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    EXPECT_EQ(window.inits, 1);
    ASSERT_NE(window.FindControl<QAbstractButton>("btn_go"), nullptr);
    EXPECT_EQ(window.FindControl<QLabel>("no_such_control"), nullptr);
    window.FindControl<QAbstractButton>("btn_go")->click();
    EXPECT_EQ(window.clicks, std::vector<QString>{"btn_go"});

    window.keepOnClose = true;
    window.Close();
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(window.IsCreated());
    EXPECT_EQ(window.finals, 0);

    window.keepOnClose = false;
    window.Close();
    EXPECT_TRUE(PumpUntil([&] { return window.finals == 1; }));
    EXPECT_FALSE(window.IsCreated());
    // The object outlives its native window and can build it again.
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    EXPECT_EQ(window.inits, 2);
}

TEST_F(WindowLayer, MissingOrBrokenLayoutFailsCleanly) {
    TestWindow missing;
    missing.skin = "Nothing.xml";
    EXPECT_FALSE(missing.Create(nullptr, "x", 0, 0));
    WriteWholeFile(dir.file("skin/Broken.xml"), "<ui><widget class=");
    TestWindow broken;
    broken.skin = "Broken.xml";
    EXPECT_FALSE(broken.Create(nullptr, "x", 0, 0));
    EXPECT_EQ(broken.inits, 0);
}

TEST_F(WindowLayer, TimersTickByTheirOwnNumbers) {
    TestWindow window;
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    window.SetTimer(2027, 10);
    EXPECT_TRUE(PumpUntil([&] { return window.ticks.size() == 3; }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(window.ticks, (std::vector<int>{2027, 2027, 2027}));  // killed after three
}

TEST_F(WindowLayer, WorkersSendAndPostThroughTheHub) {
    TestWindow window;
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    std::atomic<LRESULT> sent{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        sent = MessageHub::Send(&window, kAddMessage, 40, 2);
        MessageHub::Post(&window, kAddMessage, 1, 1);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(sent.load(), 42);
    EXPECT_EQ(window.handledOn, QCoreApplication::instance()->thread());
    // On the GUI thread itself a send is a direct call.
    EXPECT_EQ(MessageHub::Send(&window, kAddMessage, 1, 2), 3);
    // A message to a window that has gone is dropped, not crashed on.
    auto* gone = new TestWindow();
    MessageHub::Post(gone, kAddMessage, 0, 0);
    delete gone;
    PumpUntil([] { return false; }, 50);
}

TEST_F(WindowLayer, AnimationCyclesItsFramesFromTheSkin) {
    QImage strip(30, 10, QImage::Format_RGB32);
    for (int frame = 0; frame < 3; ++frame) {
        for (int x = 0; x < 10; ++x) {
            for (int y = 0; y < 10; ++y) {
                strip.setPixel(frame * 10 + x, y, qRgb(80 * frame, 0, 0));
            }
        }
    }
    ASSERT_TRUE(strip.save(QString::fromStdString(dir.file("skin/strip.png"))));
    TestWindow window;
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    auto* loading = window.FindControl<CAnimationLabel>("loading");
    ASSERT_NE(loading, nullptr);
    loading->StartAnimation();
    EXPECT_EQ(loading->FrameCount(), 3);
    std::set<QRgb> colours;
    EXPECT_TRUE(PumpUntil([&] {
        colours.insert(loading->pixmap().toImage().pixel(5, 5));
        return colours.size() == 3;
    }));
    loading->StopAnimation();
    EXPECT_FALSE(loading->Animating());
}

TEST_F(WindowLayer, IpAddressFieldTakesOnlyDottedAddresses) {
    TestWindow window;
    ASSERT_TRUE(window.Create(nullptr, "TestWnd", 0, 0));
    auto* ip = window.FindControl<CIpAddressEdit>("proxy_ip");
    ASSERT_NE(ip, nullptr);
    EXPECT_TRUE(ip->SetAddress("192.168.1.20"));
    EXPECT_EQ(ip->Address(), "192.168.1.20");
    for (const char* bad : {"256.1.1.1", "1.2.3.4.5", "a.b.c.d", "1.-2.3.4", "1234.1.1.1"}) {
        EXPECT_FALSE(ip->SetAddress(bad)) << bad;
    }
    EXPECT_EQ(ip->Address(), "192.168.1.20");
    ip->setText("10.0.");  // still being typed: not an address yet
    EXPECT_EQ(ip->Address(), "");
}

class MessageBoxes : public testing::Test {
protected:
    void SetUp() override {
        SkinStore::Instance().SetResourcePath(QORVANE_SOURCE_DIR);
        SkinStore::Instance().SetArchive(SkinStore::kDefaultArchive);
    }
    static QWidget* OpenBox() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "CMyMsgBox" && widget->isVisible()) {
                return widget;
            }
        }
        return nullptr;
    }
    // Shows a box from a worker thread, as the channel does, and pumps the GUI
    // thread until the worker has its answer; watch sees the box meanwhile.
    bool ShowFromWorker(const QString& text, MessageBoxKind kind, int seconds,
                        const std::function<void(QWidget*)>& watch = nullptr) {
        std::atomic<bool> done{false};
        bool result = false;
        // The box runs its own loop on the GUI thread; a timer is what gets
        // to look at it meanwhile.
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (QWidget* box = OpenBox(); box && watch) {
                watch(box);
            }
        });
        watcher.start(10);
        std::thread worker([&] {
            result = ShowMessageBox(nullptr, text, kind, seconds);
            done = true;
        });
        EXPECT_TRUE(PumpUntil([&] { return done.load(); }, 30000));
        watcher.stop();
        worker.join();
        return result;
    }
};

TEST_F(MessageBoxes, CountdownShowsTheSecondsAndAnswersNo) {
    std::vector<QString> seen;
    bool answer = ShowFromWorker("请确认", MessageBoxKind::kCountdownYesNo, 3, [&](QWidget* box) {
        QString text = box->findChild<QLabel*>("TextUITips")->text();
        if (seen.empty() || seen.back() != text) {
            seen.push_back(text);
        }
        EXPECT_FALSE(box->findChild<QWidget*>("BtnOK")->isVisible());
        EXPECT_TRUE(box->findChild<QWidget*>("BtnYes")->isVisible());
    });
    EXPECT_FALSE(answer);
    // "(1)" is written on the last tick, the one that also closes the box.
    EXPECT_EQ(seen, (std::vector<QString>{"请确认", "请确认(3)", "请确认(2)"}));
}

TEST_F(MessageBoxes, AnswersAndKeys) {
    bool clickedYes = ShowFromWorker("delete?", MessageBoxKind::kQuestion, 0, [&](QWidget* box) {
        // Enter and Escape never answer for the learner.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &escape);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        EXPECT_TRUE(box->isVisible());
        box->findChild<QAbstractButton*>("BtnYes")->click();
    });
    EXPECT_TRUE(clickedYes);

    bool clickedNo = ShowFromWorker("delete?", MessageBoxKind::kQuestion, 0, [&](QWidget* box) {
        box->findChild<QAbstractButton*>("BtnNo")->click();
    });
    EXPECT_FALSE(clickedNo);

    // Countdown kinds with nothing to count answer at once, without a box.
    EXPECT_FALSE(ShowMessageBox(nullptr, "x", MessageBoxKind::kCountdown, 0));
    EXPECT_FALSE(ShowMessageBox(nullptr, "x", MessageBoxKind::kCountdownYesNo, -5));
    EXPECT_EQ(OpenBox(), nullptr);
}

TEST_F(MessageBoxes, LongTextsTakeTheTwoLinePlacement) {
    QRect longPlace, shortPlace;
    ShowFromWorker(QString(20, QChar(0x4E2D)), MessageBoxKind::kWarning, 0, [&](QWidget* box) {
        longPlace = box->findChild<QLabel*>("TextUITips")->geometry();
        box->findChild<QAbstractButton*>("BtnOK")->click();
    });
    ShowFromWorker(QString(19, QChar(0x4E2D)), MessageBoxKind::kWarning, 0, [&](QWidget* box) {
        shortPlace = box->findChild<QLabel*>("TextUITips")->geometry();
        box->findChild<QAbstractButton*>("BtnOK")->click();
    });
    EXPECT_EQ(longPlace, QRect(QPoint(67, 8), QPoint(312, 57)));
    EXPECT_EQ(shortPlace, QRect(QPoint(77, 16), QPoint(322, 65)));
}

TEST(MenuWnd, PlacementsAndCommands) {
    const QPoint cursor(500, 400);
    const QSize size(100, 60);
    EXPECT_EQ(CMenuWnd::Placement(cursor, size, 0), QPoint(400, 320));
    EXPECT_EQ(CMenuWnd::Placement(cursor, size, 1), QPoint(500, 320));
    EXPECT_EQ(CMenuWnd::Placement(cursor, size, 2), QPoint(400, 400));
    EXPECT_EQ(CMenuWnd::Placement(cursor, size, 3), QPoint(500, 400));
    EXPECT_EQ(CMenuWnd::Placement(cursor, size, 9), QPoint(500, 400));
    EXPECT_EQ(CMenuWnd::CommandFor("menu_tray_show"), MenuCommand::kShowMainWindow);
    EXPECT_EQ(CMenuWnd::CommandFor("menu_multioperate_delete"), MenuCommand::kDeleteTicked);
    EXPECT_EQ(CMenuWnd::CommandFor("menulist"), MenuCommand::kNone);
}

}  // namespace
