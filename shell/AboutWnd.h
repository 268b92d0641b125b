#pragma once

#include "ui/WindowImplBaseNew.h"

// The about window: a popup of the main frame that deletes itself when closed.
class CAboutWnd : public WindowImplBaseNew {
    Q_OBJECT
protected:
    QString GetSkinFile() const override { return "AboutWnd.xml"; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnFinalMessage() override { deleteLater(); }
};

void ShowAboutWindow(WindowImplBaseNew* parent);
