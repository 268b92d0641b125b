// The Office container: hosts a document in LibreOffice inside a window the
// client embeds into its exam question and course view windows.
//
//   QVOfficeContainer2003 TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED
//
// The window carries the client's title (STR_WINDOW_TITLE of the string
// table beside the program) and this process's id, by which the client finds
// it. The client's save request (our window message 0x8001) writes the
// document to its path in its own format before it is answered; a close
// request (WM_DELETE_WINDOW) closes it without asking, ends our LibreOffice
// and exits with 0.

#include <QApplication>
#include <QFile>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>

#include "config/StringTable.h"
#include "foundation/ClientLog.h"
#include "officecontainer/ContainerArguments.h"
#include "officecontainer/ContainerWindow.h"
#include "officecontainer/OfficeLocation.h"
#include "officecontainer/OfficeSession.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/signals/StopSignals.h"
#include "platform/x11/X11MessageFilter.h"

namespace {

constexpr uint32_t kSaveMessage = 0x8001;
constexpr const char* kStringTableFile = "officecontainer/StringTable.xml";
constexpr const char* kDefaultTitle = "Qorvane";

bool ReadStringTable(std::string& bytes) {
    QFile file(QString::fromStdString(ProgramDirectory() + kStringTableFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    bytes = file.readAll().toStdString();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto args = ParseContainerArguments(argc, argv, &error);
    if (!args) {
        std::fprintf(stderr, "usage: %s TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED\n%s\n", argv[0],
                     error.c_str());
        return 2;
    }
    // A termination request closes like the client's close request: the
    // office is ended with us, not left behind.
    BlockStopSignals();
    QApplication app(argc, argv);
    if (!StringTable::Init(ReadStringTable)) {
        LOG_WARN("office container: no string table at %s%s", ProgramDirectory().c_str(),
                 kStringTableFile);
    }
    QString title = StringTable::Text("STR_WINDOW_TITLE");
    if (title.isEmpty()) {
        title = kDefaultTitle;
    }

    ContainerWindow* window = nullptr;
    OfficeSession session(
        FindOfficeProgramDir(), ProgramDirectory(),
        {[&] { QMetaObject::invokeMethod(window, [&] { window->ShowOpened(); }); },
         [&](OfficeSession::Fault fault) {
             QMetaObject::invokeMethod(window, [&, fault] { window->ShowFault(fault); });
         }});
    ContainerWindow shown(*args, title, &session);
    window = &shown;
    shown.show();
    InstallWindowMessageFilter([&](NativeWindow, uint32_t message, uintptr_t, intptr_t) {
        if (message == kSaveMessage) {
            session.Save();
        }
    });
    const int stopSignals = OpenStopSignalDescriptor();
    QSocketNotifier stopRequest(stopSignals, QSocketNotifier::Read);
    QObject::connect(&stopRequest, &QSocketNotifier::activated, [&] {
        ReadStopSignal(stopSignals);
        shown.close();
    });
    session.Start(args->document, shown.winId(), args->width, args->height);
    app.exec();
    session.Close();
    // UNO's libraries do not always come down cleanly at exit; everything of
    // ours is closed by now.
    std::fflush(stdout);
    std::_Exit(0);
}
