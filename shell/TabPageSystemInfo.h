#pragma once

#include "ui/TabPageBase.h"

class WindowImplBaseNew;

// The main frame's third tab: what the learner's machine looks like, for
// support staff, with the two folders and moving the data folder.
class CTabPageSystemInfo : public CTabPageBase {
public:
    static constexpr int kDownloaderProbeMs = 100;
    static constexpr int kDownloaderAnswerMs = 1000;
    static constexpr const char* kProxyInfoKey = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
    static constexpr const char* kInstallPathValue = "InstallPath";

    explicit CTabPageSystemInfo(WindowImplBaseNew* frame) : m_frame(frame) {}

    // Every time the tab is shown: the page is filled anew.
    void Prepare() override;
    int OnClick(const QString& name) override;

private:
    void Fill();
    void OpenFolder(const char* edit);
    void MoveDataFolder();

    WindowImplBaseNew* m_frame;
};
