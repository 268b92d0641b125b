// Another program on the exam's desktop, for the exam GUI tests:
//   exam_probe grab                 tries to take the keyboard: "grab <X status>"
//   exam_probe hold                 takes the keyboard and keeps it ("held <X status>")
//                                   until killed
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

// The whole keyboard on a connection of our own: the X status, or -1
// without a display.
int GrabRoot(Display** display) {
    *display = XOpenDisplay(nullptr);
    if (!*display) {
        std::printf("no display\n");
        return -1;
    }
    return XGrabKeyboard(*display, DefaultRootWindow(*display), False, GrabModeAsync, GrabModeAsync,
                         CurrentTime);
}

int Grab() {
    Display* display = nullptr;
    int status = GrabRoot(&display);
    if (!display) {
        return 2;
    }
    std::printf("grab %d\n", status);
    if (status == GrabSuccess) {
        XUngrabKeyboard(display, CurrentTime);
    }
    XCloseDisplay(display);
    return 0;
}

// Another program that holds the keyboard (a remote-control tool, an open
// menu) as the exam starts.
int Hold() {
    Display* display = nullptr;
    int status = GrabRoot(&display);
    if (!display) {
        return 2;
    }
    std::printf("held %d\n", status);
    std::fflush(stdout);
    while (true) {
        XEvent event;
        XNextEvent(display, &event);  // blocks; the test ends us
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "grab") == 0) {
        return Grab();
    }
    if (argc >= 2 && std::strcmp(argv[1], "hold") == 0) {
        return Hold();
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
        std::printf("clipboard <%s>\n",
                    clipboard->text(QClipboard::Clipboard).toUtf8().constData());
        std::printf("primary <%s>\n", clipboard->text(QClipboard::Selection).toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr, "usage: exam_probe grab | hold | clipboard-set TEXT | clipboard-get\n");
    return 2;
}
