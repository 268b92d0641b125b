#pragma once

#include "ui/WindowImplBaseNew.h"

// A popup menu from a skin file. Each item is a button whose name maps to a
// command; a click posts WM_MENU_COMMAND with that command to the parent and
// closes the menu, as does losing the focus.
class CMenuWnd : public WindowImplBaseNew {
    Q_OBJECT
public:
    CMenuWnd(WindowImplBaseNew* parent, const QString& skinFile, int placement);

    // The command posted for an item name; 0 for items that post nothing.
    static int CommandFor(const QString& itemName);
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
