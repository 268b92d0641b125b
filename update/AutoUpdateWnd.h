#pragma once

#include "ui/WindowImplBaseNew.h"

class UpdateChecker;

// The update offer: skip this version, remind me tomorrow, or update now
// (the download page with its progress). One at a time; it deletes itself
// when closed.
class CAutoUpdateWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr int kPageDownload = 1;

    // The open update window, or null; GUI thread only.
    static CAutoUpdateWnd* Existing();
    // Creates the window once, centres it and brings it to the front.
    static void Show(WindowImplBaseNew* owner);

protected:
    QString GetSkinFile() const override { return "AutoUpdate.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnFinalMessage() override;

private:
    void StartDownload();
    void CloseLater();
    void ShowProgress(WPARAM kind, LPARAM percent);
};

// The process's one update checker, created on first use (data folder of
// the running client) and never deleted.
UpdateChecker& ProcessUpdateChecker();
// At exit: a running installer download is asked to stop.
void StopUpdateDownload();
