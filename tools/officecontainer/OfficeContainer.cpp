// Stand-in for the Office container program: a small window that shows the
// document it was started on and writes it back when asked to save.
//
//   QVOfficeContainer2003 TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED
//
// It titles itself with the client's window title (STR_WINDOW_TITLE of the
// string table beside it), answers the save request (our window message
// 0x8001) by writing the document and closes on WM_DELETE_WINDOW. For
// tests, QVOFFICE_STANDIN holds comma-separated options:
//   never-save          ignore the save request
//   save-delay=MS       write the document MS ms after the request
//   refuse-close        stay open when asked to close
//   spawn-office        start "soffice.bin" beside it, which outlives it
//   title=TEXT          another window title
// and QVOFFICE_STANDIN_JOURNAL names a file that gets one line per event
// ("started PID", "saved PATH", "close-refused", "text TEXT").

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QXmlStreamReader>

#include <xcb/xcb.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kSaveMessage = 0x8001;
constexpr const char* kMessageAtom = "_QORVANE_WINDOW_MESSAGE";
constexpr const char* kStringTableFile = "officecontainer/StringTable.xml";
constexpr const char* kTitleId = "STR_WINDOW_TITLE";
constexpr const char* kOfficeProcess = "soffice.bin";
constexpr int kArgumentCount = 8;

struct Options {
    bool neverSave = false;
    int saveDelayMs = 0;
    bool refuseClose = false;
    bool spawnOffice = false;
    QString title;
};

Options ReadOptions() {
    Options options;
    const QString text = QString::fromUtf8(qgetenv("QVOFFICE_STANDIN"));
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        if (item == "never-save") {
            options.neverSave = true;
        } else if (item.startsWith("save-delay=")) {
            options.saveDelayMs = item.mid(11).toInt();
        } else if (item == "refuse-close") {
            options.refuseClose = true;
        } else if (item == "spawn-office") {
            options.spawnOffice = true;
        } else if (item.startsWith("title=")) {
            options.title = item.mid(6);
        }
    }
    return options;
}

void Note(const QString& line) {
    const QByteArray path = qgetenv("QVOFFICE_STANDIN_JOURNAL");
    if (path.isEmpty()) {
        return;
    }
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::Append)) {
        file.write(line.toUtf8() + '\n');
    }
}

QString TitleFromStringTable(const QString& programDir) {
    QFile file(programDir + "/" + kStringTableFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return "Qorvane";
    }
    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isStartElement() && reader.attributes().value("id") == QLatin1String(kTitleId)) {
            return reader.attributes().value("zh").toString();
        }
    }
    return "Qorvane";
}

class DocumentWindow : public QWidget {
public:
    DocumentWindow(QString path, Options options) : m_path(std::move(path)), m_options(options) {
        auto* column = new QVBoxLayout(this);
        auto* name = new QLabel(QFileInfo(m_path).fileName(), this);
        name->setObjectName("document_name");
        m_editor = new QPlainTextEdit(this);
        m_editor->setObjectName("document_text");
        column->addWidget(name);
        column->addWidget(m_editor);
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly)) {
            m_original = file.readAll();
        }
        // A text document is shown as text; anything else by its size.
        QString text = QString::fromUtf8(m_original);
        if (text.toUtf8() == m_original) {
            m_editor->setPlainText(text);
        } else {
            m_editor->setPlaceholderText(QString("%1 bytes").arg(m_original.size()));
        }
        connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
            m_changed = true;
            Note("text " + m_editor->toPlainText());
        });
        m_editor->setFocus();
    }

    void OnSaveRequest() {
        if (m_options.neverSave) {
            Note("save-ignored");
            return;
        }
        QTimer::singleShot(m_options.saveDelayMs, this, [this] { Save(); });
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_options.refuseClose) {
            Note("close-refused");
            event->ignore();
            return;
        }
        Note("closed");
        event->accept();
        QApplication::quit();
    }

private:
    void Save() {
        // Written beside the document and renamed over it, the way office
        // programs save: the document is never seen half written.
        const QString partial = m_path + ".saving";
        QFile file(partial);
        bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        ok = ok && file.write(m_changed ? m_editor->toPlainText().toUtf8() : m_original) >= 0;
        ok = ok && file.flush();
        file.close();
        ok = ok &&
             std::rename(partial.toLocal8Bit().constData(), m_path.toLocal8Bit().constData()) == 0;
        Note((ok ? "saved " : "save-failed ") + m_path);
    }

    QString m_path;
    Options m_options;
    QPlainTextEdit* m_editor = nullptr;
    QByteArray m_original;
    bool m_changed = false;
};

class SaveFilter : public QAbstractNativeEventFilter {
public:
    SaveFilter(xcb_atom_t atom, DocumentWindow* window) : m_atom(atom), m_window(window) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
            return false;
        }
        auto* client = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (client->type != m_atom || client->data.data32[0] != kSaveMessage) {
            return false;
        }
        m_window->OnSaveRequest();
        return true;
    }

private:
    xcb_atom_t m_atom;
    DocumentWindow* m_window;
};

xcb_atom_t MessageAtom() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) {
        return XCB_ATOM_NONE;
    }
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, strlen(kMessageAtom), kMessageAtom), nullptr);
    xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < kArgumentCount || std::strcmp(argv[1], "--help") == 0) {
        fprintf(stderr, "usage: %s TOPMOST DOCUMENT X Y WIDTH HEIGHT RESERVED\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const Options options = ReadOptions();
    const bool topmost = std::atoi(argv[1]) != 0;
    const QString document = QString::fromLocal8Bit(argv[2]);
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    const int width = std::atoi(argv[5]), height = std::atoi(argv[6]);

    DocumentWindow window(document, options);
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (topmost) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    window.setWindowFlags(flags);
    window.setWindowTitle(options.title.isEmpty()
                              ? TitleFromStringTable(QCoreApplication::applicationDirPath())
                              : options.title);
    window.setGeometry(x, y, width, height);
    window.show();
    app.installNativeEventFilter(new SaveFilter(MessageAtom(), &window));

    if (options.spawnOffice) {
        QProcess::startDetached(QCoreApplication::applicationDirPath() + "/" + kOfficeProcess, {});
    }
    Note(QString("started %1").arg(getpid()));
    return app.exec();
}
