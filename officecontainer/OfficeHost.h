#pragma once

#include <functional>
#include <string>

// The part of the container that speaks UNO to LibreOffice. It lives in a
// module of its own (kModuleFile beside the container), loaded at run time:
// the UNO libraries come with LibreOffice, and a container linked against
// them would not even start on a machine without it, where it has to tell
// the learner that LibreOffice is missing.
struct OfficeStart {
    std::string programDir;          // LibreOffice's program folder
    std::string pipeName;            // the office listens on uno:pipe,name=<pipeName>
    std::string documentUrl;         // file URL of the document
    std::string storeFilter;         // export filter of its type; "" keeps the loaded one
    unsigned long parentWindow = 0;  // our X11 window, the frame's parent
    int width = 0;
    int height = 0;
};

enum class OfficeOpen {
    kOpened,        // the document shows in a frame inside the parent window
    kNoOffice,      // the UNO runtime of programDir could not be started
    kNoConnection,  // the office never answered on the pipe
    kCannotOpen,    // the office declined the document (missing, corrupt)
    kGone,          // the office went away while we talked to it
};

class IOfficeHost {
public:
    virtual ~IOfficeHost() = default;
    // Connects to the office and loads the document into a frame that is a
    // child of the parent window. Blocks until then. Between connection
    // attempts it calls retryWait(), which waits a little and answers false
    // when there is no point trying further (the office ended, or we stop).
    // detail receives the reason of a failure for the log.
    virtual OfficeOpen Open(const OfficeStart& start, const std::function<bool()>& retryWait,
                            std::string* detail) = 0;
    // Writes the document to its own path in its own format, changed or not;
    // true once the file is written.
    virtual bool Save(std::string* detail) = 0;
    // Follows our window's size.
    virtual void Resize(int width, int height) = 0;
    // Gives the document's window the office's keyboard focus.
    virtual void Focus() = 0;
    // Closes the document without asking and asks the office to end.
    virtual void Close() = 0;
};

// The module's one entry point, looked up by name.
constexpr const char* kOfficeHostModuleFile = "officecontainer/QVOfficeUno.so";
constexpr const char* kOfficeHostFactory = "QvCreateOfficeHost";
using OfficeHostFactory = IOfficeHost* (*)();
