#pragma once

#include <QString>

#include "ui/WindowImplBaseNew.h"

// The client's message box: a warning with OK, a question with Yes/No, a
// countdown without buttons, a countdown with Yes/No (numbered 0 to 3 where a
// caller outside the program names one).
enum class MessageBoxKind { kWarning = 0, kQuestion = 1, kCountdown = 2, kCountdownYesNo = 3 };

// true when the learner pressed OK or Yes; false for No, a closed box, an
// expired countdown, or a countdown kind with seconds below 1. Modal: the
// caller waits until the box is gone. Any thread may call it; the box itself
// always lives on the GUI thread.
bool ShowMessageBox(WindowImplBaseNew* owner, const QString& text, MessageBoxKind kind,
                    int seconds);

class CMyMsgBox : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr int kCountdownTimer = 1;
    static constexpr int kCountdownIntervalMs = 1000;
    // Texts longer than this many characters take the two-line placement.
    static constexpr int kOneLineLength = 19;

    CMyMsgBox(const QString& text, MessageBoxKind kind, int seconds);
    bool Result() const { return m_result; }
    bool Finished() const { return m_finished; }

signals:
    void finished();

protected:
    QString GetSkinFile() const override { return "CMyMsgBox.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnTimer(int id) override;
    bool FilterKey(int key) override;
    void OnFinalMessage() override;

private:
    QString m_text;
    MessageBoxKind m_kind;
    int m_seconds;
    bool m_result = false;
    bool m_finished = false;
};
