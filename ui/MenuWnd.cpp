#include "ui/MenuWnd.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "ui/MessageHub.h"

namespace {

struct MenuItem {
    const char* name;
    MenuCommand command;
};

constexpr MenuItem kMenuItems[] = {
    {"menu_tray_show", MenuCommand::kShowMainWindow},
    {"menu_tray_exit", MenuCommand::kExitToHidden},
    {"menu_custom_skin", MenuCommand::kSwitchSkin},
    {"menu_custom_about", MenuCommand::kShowAbout},
    {"menu_operate_down", MenuCommand::kStartLesson},
    {"menu_operate_stop", MenuCommand::kStopLesson},
    {"menu_multioperate_delete", MenuCommand::kDeleteTicked},
};

// Vertical gap between the cursor and a menu opened above it.
constexpr int kAboveCursorGap = 20;

}  // namespace

CMenuWnd::CMenuWnd(WindowImplBaseNew* parent, const QString& skinFile, int placement)
    : m_owner(parent), m_skinFile(skinFile), m_placement(placement) {}

MenuCommand CMenuWnd::CommandFor(const QString& itemName) {
    for (const MenuItem& item : kMenuItems) {
        if (itemName == item.name) {
            return item.command;
        }
    }
    return MenuCommand::kNone;
}

QPoint CMenuWnd::Placement(QPoint cursor, QSize size, int placement) {
    const int x = cursor.x(), y = cursor.y(), w = size.width(), h = size.height();
    switch (placement) {
        case 0:
            return {x - w, y - h - kAboveCursorGap};
        case 1:
            return {x, y - h - kAboveCursorGap};
        case 2:
            return {x - w, y};
        default:
            return {x, y};
    }
}

void CMenuWnd::InitAfterCreate() {
    if (QWidget* root = GetWidget()) {
        root->adjustSize();
        QPoint cursor = QCursor::pos();
        QPoint corner = Placement(cursor, root->size(), m_placement);
        // A menu opened near a screen edge (the tray's corner) stays on screen.
        if (QScreen* screen = QGuiApplication::screenAt(cursor)) {
            QRect area = screen->geometry();
            corner.setX(std::clamp(corner.x(), area.left(), area.right() - root->width() + 1));
            corner.setY(std::clamp(corner.y(), area.top(), area.bottom() - root->height() + 1));
        }
        root->move(corner);
    }
}

void CMenuWnd::ClickNotify(const QString& name) {
    MenuCommand command = CommandFor(name);
    if (command != MenuCommand::kNone && m_owner) {
        MessageHub::Post(m_owner, WM_MENU_COMMAND, static_cast<WPARAM>(command), 0);
    }
    Close();
}

void CMenuWnd::OnKillFocus() { MessageHub::Post(this, WM_CLOSE, 0, 0); }

void ShowPopupMenu(WindowImplBaseNew* parent, const QString& skinFile, int placement) {
    MessageHub::PostCall([parent, skinFile, placement] {
        auto* menu = new CMenuWnd(parent, skinFile, placement);
        if (!menu->Create(parent, "CMenuWnd", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE)) {
            delete menu;
            return;
        }
        menu->ShowWindow(true, true);
    });
}
