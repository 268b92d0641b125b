#include "shell/AboutWnd.h"

#include <QLabel>

#include "config/StringTable.h"
#include "foundation/VersionText.h"
#include "ui/MessageHub.h"

void CAboutWnd::InitAfterCreate() {
    SetControlImage("about_logo", "logo.png");
    if (auto* text = FindControl<QLabel>("about_text")) {
        text->setText(StringTable::Text("STR_WINDOW_TITLE") + "\n" +
                      QString::fromStdString(ClientVersionText()));
    }
}

void CAboutWnd::ClickNotify(const QString& name) {
    if (name == "btn_close") {
        MessageHub::Post(this, WM_CLOSE, 0, 0);
    }
}

void ShowAboutWindow(WindowImplBaseNew* parent) {
    auto* about = new CAboutWnd();
    if (!about->Create(parent, "CAboutWnd", WS_POPUP, WS_EX_TOOLWINDOW)) {
        delete about;
        return;
    }
    about->CenterWindow();
    about->ShowWindow(true, true);
}
