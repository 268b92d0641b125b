#pragma once

#include <QLabel>
#include <QWidget>

#include "officecontainer/ContainerArguments.h"
#include "officecontainer/OfficeSession.h"

// The container's one window: titled as the client expects, placed where the
// command line says, LibreOffice's document frame inside it. Until the
// document shows, and when anything goes wrong, it shows a message of its
// own, so a learner looking at the embedded area always sees why.
class ContainerWindow : public QWidget {
public:
    ContainerWindow(const ContainerArguments& args, const QString& title, OfficeSession* session);

    // The state of the office, on the GUI thread.
    void ShowOpened();
    void ShowFault(OfficeSession::Fault fault);
    void ShowMessage(const QString& text);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Keys that reach our window (sent on by the client while the exam
    // holds the keyboard, or ours while we have the focus) go on to the
    // office's frame inside it.
    bool PassKeyToOffice(QEvent* event);

    OfficeSession* m_session;
    QLabel* m_message;
    bool m_closing = false;
};
