#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "officecontainer/OfficeHost.h"
#include "officecontainer/OfficeProfile.h"
#include "platform/event/StopEvent.h"

// One document in our own private LibreOffice: starts the office with a
// profile of its own, has the UNO module load the document into our window
// on a worker thread (the window keeps serving its events meanwhile),
// watches the office process, saves and closes. Plain logic without a
// window; what happens is told through the handler, on the session's own
// threads.
class OfficeSession {
public:
    enum class Fault {
        kNoOffice,     // LibreOffice is not installed (or not usable)
        kNoStart,      // it did not come up within kStartLimitMs
        kCannotOpen,   // the document is missing or cannot be opened
        kOfficeEnded,  // the office ended by itself
    };
    struct Handler {
        std::function<void()> opened;
        std::function<void(Fault)> failed;
    };

    // How long the office may take to start and answer on its pipe.
    static constexpr int kStartLimitMs = 60000;
    // Pause between two connection attempts while it starts (cut short when
    // the office ends).
    static constexpr int kConnectRetryMs = 100;
    // A save request that comes while the document still loads waits this
    // long for it (the client looks for the file for about four seconds).
    static constexpr int kSaveWaitMs = 3000;
    // Of the client's 1000 ms for a close, what the office gets to end by
    // itself before it is killed.
    static constexpr int kCloseBudgetMs = 600;
    // How long a killed office may take to be gone.
    static constexpr int kKillWaitMs = 300;
    // soffice.bin's exit code when it asks its launcher to start it again.
    static constexpr int kRestartExitCode = 81;

    OfficeSession(std::string programDir, std::string moduleDir, Handler handler);
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Starts the office on the document for the window (its size given);
    // the outcome comes through the handler. False when it could not even be
    // started (the handler has then been told).
    bool Start(const std::string& documentPath, unsigned long window, int width, int height);
    // Writes the document to its path; true once written.
    bool Save();
    void Resize(int width, int height);
    void Focus();
    // Closes the document without asking, ends the office (killing it when
    // it takes longer than kCloseBudgetMs) and removes the profile.
    void Close();

    pid_t OfficePid() const { return m_officePid.load(); }

private:
    enum class State { kIdle, kStarting, kOpen, kFailed, kClosing };
    bool SpawnOffice();
    void Watch();
    void Load(OfficeStart start);
    void Fail(Fault fault);
    bool SetState(State from, State to);

    std::string m_programDir;
    std::string m_moduleDir;
    Handler m_handler;
    void* m_module = nullptr;
    std::unique_ptr<IOfficeHost> m_host;
    OfficeProfile m_profile;
    std::string m_pipeName;
    std::atomic<pid_t> m_officePid{0};

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    State m_state = State::kIdle;
    bool m_officeEnded = false;
    bool m_ending = false;  // it ended by itself

    StopEvent m_giveUp;  // the office ended, or we are closing
    std::thread m_watcher;
    std::thread m_loader;
};
