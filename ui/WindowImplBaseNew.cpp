#include "ui/WindowImplBaseNew.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>
#include <QtUiTools/QUiLoader>

#include <set>

#include "foundation/ClientLog.h"
#include "platform/x11/X11Windows.h"
#include "ui/Controls.h"
#include "ui/SkinStore.h"

namespace {

std::set<WindowImplBaseNew*>& LiveWindows() {
    static std::set<WindowImplBaseNew*> windows;
    return windows;
}

QHash<QString, QPixmap>& ImageCache() {
    static QHash<QString, QPixmap> cache;
    return cache;
}

}  // namespace

WindowImplBaseNew::WindowImplBaseNew() {
    LiveWindows().insert(this);
}

WindowImplBaseNew::~WindowImplBaseNew() {
    LiveWindows().erase(this);
    if (m_root) {
        m_reloading = true;  // no final message from a destructor
        delete m_root.data();
    }
}

Qt::WindowFlags WindowImplBaseNew::FlagsFor(uint32_t style, uint32_t exStyle) {
    // Our layouts draw their own title bars, so every window is frameless.
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (exStyle & WS_EX_TOOLWINDOW) {
        flags |= Qt::Tool;
    }
    if (exStyle & WS_EX_TOPMOST) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    if (exStyle & WS_EX_NOACTIVATE) {
        // A menu: closes by itself when the user clicks elsewhere.
        flags = Qt::Popup | Qt::FramelessWindowHint;
    }
    return flags;
}

QWidget* WindowImplBaseNew::LoadLayout(const QString& skinFile, QWidget* parent) {
    std::string bytes;
    if (!SkinStore::Instance().Read(skinFile.toStdString(), bytes)) {
        LOG_ERROR("window layout %s not found in the skin", skinFile.toUtf8().constData());
        return nullptr;
    }
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    SkinUiLoader loader;
    QWidget* root = loader.load(&buffer, parent);
    if (!root) {
        LOG_ERROR("window layout %s cannot be read: %s", skinFile.toUtf8().constData(),
                  loader.errorString().toUtf8().constData());
    }
    return root;
}

bool WindowImplBaseNew::Create(WindowImplBaseNew* parent, const QString& name, uint32_t style,
                               uint32_t exStyle) {
    if (m_root) {
        return true;
    }
    QWidget* root = LoadLayout(GetSkinFile(), nullptr);
    if (!root) {
        return false;
    }
    m_parent = parent;
    m_name = name;
    m_style = style;
    m_exStyle = exStyle;
    m_root = root;
    QWidget* owner = (parent && parent->GetWidget()) ? parent->GetWidget() : nullptr;
    // A child needs a parent to live in; without one it is a window of its own.
    const bool child = owner && (style & WS_CHILD);
    root->setParent(owner, child ? Qt::Widget : FlagsFor(style, exStyle) | ExtraWindowFlags());
    root->setAttribute(Qt::WA_DeleteOnClose, false);
    root->installEventFilter(this);
    connect(root, &QObject::destroyed, this, [this] {
        m_timers.clear();
        if (!m_reloading) {
            OnFinalMessage();
        }
    });
    WireControls();
    // The native window exists from here on, named so that other programs
    // (and a second instance of ours) can find it.
    // A child stays part of its parent's window: a native child would make
    // every sibling native too, and pages render badly in native windows.
    if (!child) {
        root->winId();
        SetWindowClass(root->winId(), name.toStdString(), kWindowClass);
    }
    InitAfterCreate();
    if (style & WS_VISIBLE) {
        ShowWindow(true, true);
    }
    return true;
}

void WindowImplBaseNew::WireControls() {
    for (QAbstractButton* button : m_root->findChildren<QAbstractButton*>()) {
        const QString name = button->objectName();
        connect(button, &QAbstractButton::clicked, this, [this, name] { ClickNotify(name); });
    }
}

bool WindowImplBaseNew::IsVisible() const {
    return m_root && m_root->isVisible();
}

unsigned long WindowImplBaseNew::NativeHandle() const {
    return m_root ? static_cast<unsigned long>(m_root->winId()) : 0;
}

void WindowImplBaseNew::ShowWindow(bool show, bool takeFocus) {
    if (!m_root) {
        return;
    }
    if (!show) {
        m_root->hide();
        return;
    }
    m_root->show();
    if (takeFocus) {
        BringToFront();
    }
}

void WindowImplBaseNew::BringToFront() {
    if (!m_root) {
        return;
    }
    m_root->showNormal();
    m_root->raise();
    m_root->activateWindow();
}

void WindowImplBaseNew::CenterWindow() {
    if (!m_root) {
        return;
    }
    QRect area;
    if (m_parent && m_parent->IsVisible()) {
        area = m_parent->GetWidget()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    QSize size = m_root->size();
    m_root->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void WindowImplBaseNew::Close() {
    if (m_root) {
        m_root->close();  // the close event goes through OnClose
    }
}

void WindowImplBaseNew::DestroyWindow() {
    DestroyRoot(true);
}

void WindowImplBaseNew::DestroyRoot(bool final) {
    if (!m_root) {
        return;
    }
    for (const auto& [id, timer] : m_timers) {
        killTimer(timer);
    }
    m_timers.clear();
    m_reloading = !final;
    QWidget* root = m_root.data();
    root->hide();
    root->removeEventFilter(this);
    delete root;  // the destroyed signal calls OnFinalMessage when final
    m_reloading = false;
}

void WindowImplBaseNew::SetTimer(int id, int milliseconds) {
    KillTimer(id);
    m_timers[id] = startTimer(milliseconds);
}

void WindowImplBaseNew::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end()) {
        killTimer(it->second);
        m_timers.erase(it);
    }
}

void WindowImplBaseNew::timerEvent(QTimerEvent* event) {
    for (const auto& [id, timer] : m_timers) {
        if (timer == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
}

QPixmap WindowImplBaseNew::LoadImage(const QString& file) {
    const QString key = QString::fromStdString(SkinStore::Instance().Archive()) + "/" + file;
    auto cached = ImageCache().find(key);
    if (cached != ImageCache().end()) {
        return cached.value();
    }
    std::string bytes;
    QPixmap pixmap;
    if (SkinStore::Instance().Read(file.toStdString(), bytes)) {
        pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<uint>(bytes.size()));
    }
    if (pixmap.isNull()) {
        LOG_WARN("skin image %s is missing", file.toUtf8().constData());
    }
    ImageCache().insert(key, pixmap);
    return pixmap;
}

bool WindowImplBaseNew::SetControlImage(const QString& control, const QString& file) {
    QWidget* widget = FindControl(control);
    QPixmap pixmap = LoadImage(file);
    if (!widget || pixmap.isNull()) {
        return false;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setIcon(QIcon(pixmap));
        button->setIconSize(pixmap.size());
        return true;
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setPixmap(pixmap);
        return true;
    }
    return false;
}

void WindowImplBaseNew::SetControlText(const QString& control, const QString& text) {
    QWidget* widget = FindControl(control);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    }
}

void WindowImplBaseNew::ReloadAllSkins() {
    ImageCache().clear();
    std::set<WindowImplBaseNew*> windows = LiveWindows();
    for (WindowImplBaseNew* window : windows) {
        if (!window->IsCreated()) {
            continue;
        }
        bool visible = window->IsVisible();
        QPoint position = window->m_root->pos();
        window->DestroyRoot(false);
        if (window->Create(window->m_parent, window->m_name, window->m_style & ~WS_VISIBLE,
                           window->m_exStyle)) {
            window->m_root->move(position);
            window->ShowWindow(visible, false);
        }
    }
}

WindowImplBaseNew* WindowImplBaseNew::FromNativeHandle(unsigned long handle) {
    // Only windows that have a native window can be meant; asking the others
    // would give each one (and every sibling) a native window of its own.
    for (WindowImplBaseNew* window : LiveWindows()) {
        if (window->m_root && handle != 0 &&
            static_cast<unsigned long>(window->m_root->internalWinId()) == handle) {
            return window;
        }
    }
    return nullptr;
}

LRESULT WindowImplBaseNew::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = HandleCustomMessage(message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    if (message == WM_CLOSE) {
        Close();
    } else if (message == WM_SHOWWINDOW_NORMAL) {
        ShowWindow(true, false);
        if (m_root) {
            m_root->showNormal();
        }
    }
    return 0;
}

bool WindowImplBaseNew::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_root) {
        return false;
    }
    switch (event->type()) {
        case QEvent::Close: {
            bool handled = false;
            OnClose(handled);
            if (handled) {
                event->ignore();
                return true;
            }
            // The window is gone once closed; the object stays.
            QMetaObject::invokeMethod(
                this, [this] { DestroyRoot(true); }, Qt::QueuedConnection);
            return false;
        }
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            return FilterKey(static_cast<QKeyEvent*>(event)->key());
        case QEvent::WindowDeactivate:
            OnKillFocus();
            return false;
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            QVariant caption = m_root->property("caption");
            int height = caption.isValid() ? caption.toInt() : kDefaultCaptionHeight;
            if (mouse->button() == Qt::LeftButton && mouse->position().y() < height &&
                m_root->windowHandle()) {
                m_root->windowHandle()->startSystemMove();
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}
