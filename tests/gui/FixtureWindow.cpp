// A tiny window for the X session's own test: shows a window with the title
// given on the command line, optionally a tray icon, and quits on Escape.
//   gui_fixture_window <title> [--tray <icon.png>]
#include <QApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: gui_fixture_window <title> [--tray <icon.png>]\n");
        return 2;
    }
    QLabel window(args[1]);
    window.setWindowTitle(args[1]);
    window.setAlignment(Qt::AlignCenter);
    window.setStyleSheet("background: #2a6fdb; color: white; font-size: 20px;");
    window.resize(360, 160);
    QShortcut quit(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(&quit, &QShortcut::activated, &app, &QApplication::quit);

    QSystemTrayIcon tray;
    int trayAt = args.indexOf("--tray");
    if (trayAt > 0 && trayAt + 1 < args.size()) {
        tray.setIcon(QIcon(args[trayAt + 1]));
        tray.setToolTip(args[1]);
        tray.show();
        std::printf("tray available: %d\n", QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0);
    }
    window.show();
    std::printf("shown\n");
    std::fflush(stdout);
    return app.exec();
}
