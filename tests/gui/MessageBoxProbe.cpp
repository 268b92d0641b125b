// Shows one client message box from a worker thread, the way channel handlers
// do, and prints the answer: message-box-probe <skin dir> <kind> <seconds> <text>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/SkinStore.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: message-box-probe SKINDIR KIND SECONDS TEXT\n");
        return 2;
    }
    QApplication app(argc, argv);
    MessageHub::Install();
    SkinStore::Instance().SetResourcePath(argv[1]);
    const int kind = std::atoi(argv[2]);
    const int seconds = std::atoi(argv[3]);
    const QString text = QString::fromUtf8(argv[4]);
    std::thread worker([&] {
        bool answer = ShowMessageBox(nullptr, text, static_cast<MessageBoxKind>(kind), seconds);
        printf("answer %s\n", answer ? "true" : "false");
        fflush(stdout);
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    printf("shown\n");
    fflush(stdout);
    int status = app.exec();
    worker.join();
    return status;
}
