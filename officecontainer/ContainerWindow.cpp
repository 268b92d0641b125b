#include "officecontainer/ContainerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "config/StringTable.h"
#include "platform/x11/X11Windows.h"

namespace {

constexpr int kMessagePointSize = 14;
constexpr int kMessageMargin = 40;

const char* FaultTextId(OfficeSession::Fault fault) {
    switch (fault) {
        case OfficeSession::Fault::kNoOffice:
            return "STR_OFFICE_NOT_INSTALLED";
        case OfficeSession::Fault::kNoStart:
            return "STR_OFFICE_START_FAIL";
        case OfficeSession::Fault::kCannotOpen:
            return "STR_OFFICE_OPEN_FAIL";
        case OfficeSession::Fault::kOfficeEnded:
            return "STR_OFFICE_ENDED";
    }
    return "";
}

}  // namespace

ContainerWindow::ContainerWindow(const ContainerArguments& args, const QString& title,
                                 OfficeSession* session)
    : m_session(session) {
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (args.topmost) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    setWindowTitle(title);
    setGeometry(args.x, args.y, args.width, args.height);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMessageMargin, kMessageMargin, kMessageMargin, kMessageMargin);
    m_message = new QLabel(this);
    m_message->setObjectName("office_message");
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setFocusPolicy(Qt::NoFocus);
    QFont font = m_message->font();
    font.setPointSize(kMessagePointSize);
    m_message->setFont(font);
    layout->addWidget(m_message);
    ShowMessage(StringTable::Text("STR_OFFICE_OPENING"));
}

void ContainerWindow::ShowOpened() {
    m_message->clear();
    m_session->Focus();
}

void ContainerWindow::ShowFault(OfficeSession::Fault fault) {
    ShowMessage(StringTable::Text(FaultTextId(fault)));
}

void ContainerWindow::ShowMessage(const QString& text) {
    m_message->setText(text);
}

bool ContainerWindow::PassKeyToOffice(QEvent* event) {
    // A dialog the office shows (Insert Table...) takes the keys while it is
    // up; otherwise the document's frame, the topmost child of our window
    // (our own widgets are no native windows).
    NativeWindow target = TopmostShownWindowOf(m_session->OfficePid());
    if (target == 0) {
        const std::vector<NativeWindow> children = ChildWindows(winId());
        target = children.empty() ? 0 : children.back();
    }
    if (target == 0) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    SendKeyEvent(target, event->type() == QEvent::KeyPress, key->nativeScanCode(),
                 key->nativeModifiers());
    return true;
}

bool ContainerWindow::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept();  // no shortcut of ours: Tab, Ctrl+Z... are the office's
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (PassKeyToOffice(event)) {
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void ContainerWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_session->Resize(width(), height());
}

void ContainerWindow::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        m_closing = true;
        m_session->Close();
    }
    event->accept();
    QApplication::quit();
}
