#pragma once

#include <QString>

// A page of the main frame's tab layout. The frame forwards the events it does
// not handle itself to the current page.
class CTabPageBase {
public:
    virtual ~CTabPageBase() = default;
    virtual void Prepare() = 0;
    virtual int OnMouseWheel(int delta) { return 0; }
    virtual int OnDoubleClick() { return 0; }
    virtual int OnClick(const QString& name) { return 0; }
    virtual int OnScroll(const QString& name) { return 0; }
    virtual int OnSelectionChanged(const QString& name) { return 0; }
    // Timers the main frame runs for the page.
    virtual void OnTimer(int id) {}

    bool Prepared() const { return m_prepared; }

protected:
    bool m_prepared = false;
};
