#include "peers/office/ContainerSession.h"

#include <algorithm>

#include "foundation/ClientLog.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/registry/Registry.h"

namespace {

constexpr const char* kContainerBaseName = "QVOfficeContainer";
constexpr const char* kDefaultOfficeVersion = "2003";
constexpr const char* kWordClassKey = "Word.Application";
constexpr const char* kWordCurVerKey = "Word.Application\\CurVer";
constexpr size_t kMaxCurVerLength = 255;

struct OfficeType {
    const char* extension;
    const char* process;
};

// The one table of document types. LibreOffice runs every document in one
// process image; on Windows these were winword.exe (doc, docx),
// powerpnt.exe (ppt, pptx) and excel.exe (xls, xlsx).
constexpr OfficeType kOfficeTypes[] = {
    {"doc", "soffice.bin"},  {"docx", "soffice.bin"}, {"ppt", "soffice.bin"},
    {"pptx", "soffice.bin"}, {"xls", "soffice.bin"},  {"xlsx", "soffice.bin"},
};

}  // namespace

std::string OfficeProcessName(const std::string& documentType) {
    for (const OfficeType& type : kOfficeTypes) {
        if (documentType == type.extension) {
            return type.process;
        }
    }
    return {};
}

bool IsOfficeDocumentType(const std::string& documentType) {
    return !OfficeProcessName(documentType).empty();
}

std::string DocumentTypeOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot + 1);
}

std::string OfficeVersionFromCurVer(const std::string& curVer) {
    size_t dot = curVer.find_last_of('.');
    if (dot == std::string::npos) {
        return kDefaultOfficeVersion;
    }
    const std::string major = curVer.substr(dot + 1);
    if (major == "12") {
        return "2007";
    }
    if (major == "14") {
        return "2010";
    }
    return kDefaultOfficeVersion;  // "11" and everything unknown
}

std::string OfficeVersion() {
    Registry classes(RegistryRoot::ClassesRoot);
    if (!classes.KeyExists(kWordClassKey) || !classes.KeyExists(kWordCurVerKey)) {
        return kDefaultOfficeVersion;
    }
    std::string value;
    if (classes.ReadString(kWordCurVerKey, "", value) != 0 || value.size() > kMaxCurVerLength) {
        return kDefaultOfficeVersion;
    }
    return OfficeVersionFromCurVer(value);
}

std::string ContainerProgramPath() {
    static const std::string path = ProgramDirectory() + kContainerBaseName + OfficeVersion();
    return path;
}

std::vector<std::string> ContainerCommandLine(const std::string& program, bool topmost,
                                              const std::string& documentPath, int x, int y,
                                              int width, int height) {
    return {program,           topmost ? "1" : "0",   documentPath,           std::to_string(x),
            std::to_string(y), std::to_string(width), std::to_string(height), "0"};
}

void ContainerSession::TakeOfficeSnapshot(const std::string& processName) {
    std::vector<pid_t> running =
        processName.empty() ? std::vector<pid_t>{} : ProcessesNamed(processName);
    std::lock_guard<std::mutex> lock(m_lock);
    m_preLaunch = std::move(running);
}

bool ContainerSession::LaunchContainer(const std::string& documentPath, bool topmost, int x, int y,
                                       int width, int height) {
    // Before anything else, so the container's own Office is not in the list.
    TakeOfficeSnapshot(OfficeProcessName(DocumentTypeOf(documentPath)));
    SpawnOptions options;
    options.argv =
        ContainerCommandLine(ContainerProgramPath(), topmost, documentPath, x, y, width, height);
    int error = 0;
    ChildHandle child = ChildHandle::Spawn(options, &error);
    if (!child.Valid()) {
        LOG_ERROR("start %s failed: %d", options.argv[0].c_str(), error);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_process = std::move(child);
    m_window = 0;
    m_x = x;
    m_y = y;
    return true;
}

bool ContainerSession::AttachContainerWindow(const std::string& title, NativeWindow parent,
                                             int parentX, int parentY) {
    pid_t pid = 0;
    int x = 0, y = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_window != 0) {
            return true;
        }
        pid = m_process.Pid();
        x = m_x - parentX;
        y = m_y - parentY;
    }
    if (pid <= 0) {
        return false;
    }
    NativeWindow window = FindProcessWindow(title, pid);
    // Without a parent the container keeps a window of its own.
    if (window == 0 || (parent != 0 && !ReparentWindow(window, parent, x, y))) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_window = window;
    m_parent = parent;
    m_embeddedX = x;
    m_embeddedY = y;
    return true;
}

bool ContainerSession::PlaceContainerWindow() {
    NativeWindow window = 0, parent = 0;
    int x = 0, y = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        window = m_window;
        parent = m_parent;
        x = m_embeddedX;
        y = m_embeddedY;
    }
    if (window == 0 || parent == 0) {
        return true;  // nothing embedded
    }
    if (WindowParent(window) != parent) {
        ReparentWindow(window, parent, x, y);
        return false;
    }
    // A window manager that was about to manage the window when we took it
    // may also have unmapped it (the container stays hidden then).
    if (!WindowMapped(window)) {
        SetWindowMapped(window, true);
        return false;
    }
    return MoveWindow(window, x, y);
}

bool ContainerSession::RequestSave() {
    NativeWindow window = ContainerWindow();
    return window != 0 && SendWindowMessage(window, kSaveMessage, 0, 0);
}

int ContainerSession::CloseContainer() {
    ChildHandle process;
    NativeWindow window = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        process = std::move(m_process);
        window = m_window;
        m_window = 0;
    }
    if (window != 0) {
        // Embedded, no window manager looks after it: ask the window itself.
        SendDeleteWindow(window);
    }
    if (process.Valid() && !process.Wait(kCloseWaitMs)) {
        process.Terminate();
        LOG_INFO("Terminate OfficeContainer %d", 1);
    }
    return 0;
}

void ContainerSession::KillLeftoverOffice(const std::string& processName) {
    std::vector<pid_t> before;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        before.swap(m_preLaunch);
    }
    if (processName.empty()) {
        return;
    }
    for (pid_t pid : ProcessesNamed(processName)) {
        if (std::find(before.begin(), before.end(), pid) == before.end()) {
            KillProcess(pid);
        }
    }
}

bool ContainerSession::Launched() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_process.Valid();
}

NativeWindow ContainerSession::ContainerWindow() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_window;
}

pid_t ContainerSession::ContainerProcessId() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_process.Pid();
}
