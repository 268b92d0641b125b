#pragma once

#include <QString>

// What a window answers to the questions of its embedded pages. A window is
// its own handler (a further base class); every default keeps the page in
// place and gives it nothing special. Called on the GUI thread.
class CWebBrowserEventHandler {
public:
    virtual ~CWebBrowserEventHandler() = default;

    // A top-level navigation is about to start; set cancel to refuse it.
    virtual void BeforeNavigate2(const QString& url, bool& cancel) {}
    // The page finished loading (ok false: it failed).
    virtual void NavigateComplete2(const QString& url, bool ok) {}
    // The page asks for a new window; set cancel when the handler opened the
    // address itself (or refuses it). No window is ever created for a page.
    virtual void NewWindow3(const QString& url, bool& cancel) {}
    // Whether pages of this window see window.external.
    virtual bool GetExternal() { return false; }
    // The page's renderer process ended abnormally (crash, kill, out of memory).
    virtual void RendererGone(int exitCode) {}
};

// The handler of the exam window's tabs: three more browser events.
class CMyWebBrowserEventHandler : public CWebBrowserEventHandler {
public:
    virtual void DownloadBegin() {}
    // A download was asked for; the host refuses every download whatever the
    // handler says, the flag only tells what the window decided.
    virtual void FileDownload(bool& cancel) {}
    // The page asked to close its window (window.close()).
    virtual void OnQuit() {}
};
