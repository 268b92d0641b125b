// Another program on the exam's desktop, for the exam GUI tests:
//   exam_probe grab                 tries to take the keyboard: "grab <X status>"
//   exam_probe clipboard-set TEXT   owns clipboard and primary selection with TEXT
//                                   ("owned"), runs until killed
//   exam_probe clipboard-get        "clipboard <text>" and "primary <text>"

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

int Grab() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::printf("no display\n");
        return 2;
    }
    int status = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                               GrabModeAsync, CurrentTime);
    std::printf("grab %d\n", status);
    if (status == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
    }
    XCloseDisplay(display);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "grab") == 0) {
        return Grab();
    }
    QApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (argc >= 3 && std::strcmp(argv[1], "clipboard-set") == 0) {
        clipboard->setText(QString::fromUtf8(argv[2]), QClipboard::Clipboard);
        clipboard->setText(QString::fromUtf8(argv[2]), QClipboard::Selection);
        std::printf("owned\n");
        std::fflush(stdout);
        return app.exec();
    }
    if (argc >= 2 && std::strcmp(argv[1], "clipboard-get") == 0) {
        std::printf("clipboard <%s>\n", clipboard->text(QClipboard::Clipboard).toUtf8().constData());
        std::printf("primary <%s>\n", clipboard->text(QClipboard::Selection).toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr, "usage: exam_probe grab | clipboard-set TEXT | clipboard-get\n");
    return 2;
}
