#pragma once

#include <QPointer>

#include "config/TrustedSites.h"
#include "ui/TabPageBase.h"

class QAbstractButton;
class QScrollArea;
class WindowImplBaseNew;

// The main frame's second tab: the downloader's proxy, advance download,
// the trusted zone's browser settings, the emulation mode and the trusted
// sites. The rules behind it live in shell/config.
class CTabPageSet : public CTabPageBase {
public:
    // Scroll positions of the three sections in the page's body.
    static constexpr int kProxySectionY = 0;
    static constexpr int kDownloadSectionY = 200;
    static constexpr int kIeSectionY = 300;
    // The advance-download notice timer, run on the main frame for the page.
    static constexpr int kAdvanceDownloadTimer = 2025;
    static constexpr int kDownloaderConnectMs = 100;
    static constexpr int kDownloaderAnswerMs = 1000;
    static constexpr int kAdvanceDownloadIntervalMs = 5000;
    static constexpr int kTrustedRowHeight = 20;
    // One wheel line; a notch scrolls three.
    static constexpr int kWheelStep = 20;

    explicit CTabPageSet(WindowImplBaseNew* frame);
    ~CTabPageSet() override;

    void Prepare() override;
    int OnClick(const QString& name) override;
    int OnScroll(const QString& name) override;
    void OnTimer(int id) override;

    // Registers a site as trusted (UTF-8 text): true when added or already
    // listed, false when it names no site. Any thread: the registry is
    // written by the caller, the list row is added on the GUI thread.
    static bool AddTrustedSite(const std::string& site);

private:
    void FirstPrepare();
    void HighlightSection(const char* name);
    void ShowSection(const char* name, int y);
    void FollowScroll(int y);
    void LoadProxy();
    void SaveProxy();
    void EnableProxyControls(bool enabled);
    void ApplyZone();
    void CheckZone();
    void CheckEngine();
    void ToggleEmulation();
    void ToggleAdvanceDownload();
    void ShowTrustedSites();
    void DeleteTrustedSite();
    void ShowAddPanel(bool shown);

    WindowImplBaseNew* m_frame;
    QPointer<QScrollArea> m_body;
    QPointer<QAbstractButton> m_currentSection;
    bool m_scrollingToSection = false;
    bool m_engineChecked = false;
};
