#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/process/Processes.h"
#include "platform/x11/X11Windows.h"

// Office documents open in a separate program, the Office container, which
// hosts the Office program in a window of its own. A using window (the exam
// question window, the course view window) keeps one session: it starts the
// container on a document, adopts the container's window, asks it to save
// and closes it again, ending the Office processes the container left.

// The Office program the container hosts for a document type ("doc",
// "docx", "ppt", "pptx", "xls", "xlsx", compared exactly); "" for anything
// else, which is no Office document. The container hosts LibreOffice, one
// process for every type (the Windows container used winword.exe,
// powerpnt.exe and excel.exe).
std::string OfficeProcessName(const std::string& documentType);
bool IsOfficeDocumentType(const std::string& documentType);
// The text after the last "." of a path's file name ("" without one).
std::string DocumentTypeOf(const std::string& path);

// "2003", "2007" or "2010" from the installed Word's class version
// (HKEY_CLASSES_ROOT "Word.Application\CurVer", e.g. "Word.Application.12");
// "2003" for anything else.
std::string OfficeVersionFromCurVer(const std::string& curVer);
std::string OfficeVersion();
// The program folder + "QVOfficeContainer" + version; computed once.
std::string ContainerProgramPath();

// The container's command line: program, topmost flag (1/0), document, x,
// y, width, height and a reserved 0.
std::vector<std::string> ContainerCommandLine(const std::string& program, bool topmost,
                                              const std::string& documentPath, int x, int y,
                                              int width, int height);

class ContainerSession {
public:
    // The save request the container answers by writing the document.
    static constexpr uint32_t kSaveMessage = 0x8001;
    // How long a container may take to close before it is ended.
    static constexpr int kCloseWaitMs = 1000;

    ContainerSession() = default;
    ContainerSession(const ContainerSession&) = delete;
    ContainerSession& operator=(const ContainerSession&) = delete;

    // Notes the running processes of that Office program; "" notes none.
    void TakeOfficeSnapshot(const std::string& processName);
    // Starts the container on the document; true when it started. The using
    // window then looks for its window once a second (AttachContainerWindow).
    bool LaunchContainer(const std::string& documentPath, bool topmost, int x, int y, int width,
                         int height);
    // Looks for the container's window (that title, owned by the container's
    // process) and embeds it into parent where the command line placed it,
    // relative to parent's origin (parentX, parentY on the screen); parent 0
    // leaves the window where it is. True once found (and embedded).
    bool AttachContainerWindow(const std::string& title, NativeWindow parent, int parentX = 0,
                               int parentY = 0);
    // Puts an embedded container back where it was embedded: a window
    // manager that was still busy with the window when we took it may have
    // moved it, unmapped it, or taken it back to the desktop. True when the
    // window sits in its parent, shown; false after embedding or showing it
    // again (ask once more later).
    bool PlaceContainerWindow();
    bool RequestSave();
    // Asks the container to close and ends it when it does not; always 0.
    int CloseContainer();
    // Ends the processes of that Office program started since the snapshot.
    void KillLeftoverOffice(const std::string& processName);

    bool Launched() const;
    NativeWindow ContainerWindow() const;
    pid_t ContainerProcessId() const;

private:
    mutable std::mutex m_lock;
    std::vector<pid_t> m_preLaunch;
    ChildHandle m_process;
    NativeWindow m_window = 0;
    int m_x = 0;
    int m_y = 0;
    NativeWindow m_parent = 0;
    int m_embeddedX = 0;
    int m_embeddedY = 0;
};
