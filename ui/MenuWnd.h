#pragma once

#include "ui/WindowImplBaseNew.h"

// What a menu item asks its owner to do, posted as wParam of WM_MENU_COMMAND.
enum class MenuCommand {
    kNone = 0,
    kShowMainWindow = 1,  // "menu_tray_show"
    kExitToHidden = 2,    // "menu_tray_exit"
    kSwitchSkin = 3,      // "menu_custom_skin"
    kShowAbout = 4,       // "menu_custom_about"
    kStartLesson = 5,     // "menu_operate_down"
    kStopLesson = 6,      // "menu_operate_stop"
    kDeleteTicked = 7,    // "menu_multioperate_delete"
};

// A popup menu from a skin file. Each item is a button whose name maps to a
// command; a click posts WM_MENU_COMMAND with that command to the parent and
// closes the menu, as does losing the focus.
class CMenuWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    CMenuWnd(WindowImplBaseNew* parent, const QString& skinFile, int placement);

    // The command posted for an item name; kNone for items that post nothing.
    static MenuCommand CommandFor(const QString& itemName);
    // Top-left corner for a menu of the given size at the cursor position.
    static QPoint Placement(QPoint cursor, QSize size, int placement);

protected:
    QString GetSkinFile() const override { return m_skinFile; }
    void InitAfterCreate() override;
    void ClickNotify(const QString& name) override;
    void OnKillFocus() override;
    void OnFinalMessage() override { deleteLater(); }

private:
    WindowImplBaseNew* m_owner;
    QString m_skinFile;
    int m_placement;
};

// Creates and shows a menu at the mouse cursor; returns at once.
void ShowPopupMenu(WindowImplBaseNew* parent, const QString& skinFile, int placement);
