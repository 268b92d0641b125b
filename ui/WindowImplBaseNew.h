#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>

#include "ui/WindowMessages.h"

// The base of every window of the client. The object exists without a native
// window; Create() builds the window from its layout in the skin, and when
// the window is gone again OnFinalMessage() follows. Controls are found by
// name, every button click arrives as ClickNotify(name), timers are numbered
// by the window, and custom messages arrive through HandleCustomMessage.
// GUI thread only; other threads go through MessageHub.
class WindowImplBaseNew : public QObject {
    Q_OBJECT
public:
    // WM_CLASS class of our top-level windows, so that another instance can
    // find them.
    static constexpr const char* kWindowClass = "WindowImplBaseNew";
    // Height of the draggable title area when the layout does not say.
    static constexpr int kDefaultCaptionHeight = 30;

    WindowImplBaseNew();
    ~WindowImplBaseNew() override;

    // Builds the window from the layout; false when the layout is missing or
    // broken (logged). style/exStyle are the classic window style values.
    bool Create(WindowImplBaseNew* parent, const QString& name, uint32_t style, uint32_t exStyle);
    bool IsCreated() const { return !m_root.isNull(); }
    bool IsVisible() const;
    void ShowWindow(bool show = true, bool takeFocus = true);
    void BringToFront();
    void CenterWindow();
    // Like a click on the window's close button: OnClose may keep it.
    void Close();
    // Ends the native window without asking.
    void DestroyWindow();

    QWidget* GetWidget() const { return m_root; }
    unsigned long NativeHandle() const;
    WindowImplBaseNew* Parent() const { return m_parent; }

    template <class T = QWidget>
    T* FindControl(const QString& name) const {
        return m_root ? m_root->findChild<T*>(name) : nullptr;
    }

    void SetTimer(int id, int milliseconds);
    void KillTimer(int id);

    // Images come from the skin as well.
    static QPixmap LoadImage(const QString& file);
    // A part of a window (a list row) built from its own layout file of the
    // skin; null when the layout is missing or broken (logged).
    static QWidget* LoadLayout(const QString& skinFile, QWidget* parent);
    bool SetControlImage(const QString& control, const QString& file);
    void SetControlText(const QString& control, const QString& text);

    // Every window with a native window rebuilds it from the current skin.
    static void ReloadAllSkins();
    // The window of ours whose native handle this is, if any.
    static WindowImplBaseNew* FromNativeHandle(unsigned long handle);

    // Entry of the message hub: custom messages, WM_CLOSE and the show
    // request of a second instance.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual QString GetSkinFile() const = 0;
    // Toolkit flags a window needs beyond what its styles say.
    virtual Qt::WindowFlags ExtraWindowFlags() const { return {}; }
    virtual void InitAfterCreate() {}
    virtual void ClickNotify(const QString& name) {}
    virtual void OnTimer(int id) {}
    virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
        handled = false;
        return 0;
    }
    // Set handled to keep the window (the close request is then consumed).
    virtual void OnClose(bool& handled) { handled = false; }
    // true swallows the key (Qt::Key_*) before the window sees it.
    virtual bool FilterKey(int key) { return false; }
    // The window lost activation to another window.
    virtual void OnKillFocus() {}
    // The native window is gone. A window that owns itself deletes itself
    // here (deleteLater) and clears its process-wide pointer.
    virtual void OnFinalMessage() {}

    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void WireControls();
    void DestroyRoot(bool final);
    static Qt::WindowFlags FlagsFor(uint32_t style, uint32_t exStyle);

    QPointer<QWidget> m_root;
    WindowImplBaseNew* m_parent = nullptr;
    QString m_name;
    uint32_t m_style = 0;
    uint32_t m_exStyle = 0;
    std::map<int, int> m_timers;  // our id -> toolkit timer id
    bool m_reloading = false;
};
