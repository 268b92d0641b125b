#pragma once

#include <string>

// One running copy per user session: a lock file in the user's runtime folder
// ($XDG_RUNTIME_DIR, else a private /tmp/<uid> folder) held with flock. The
// kernel drops the lock when the holder ends in any way, a crash included,
// so a stale file never keeps the next start out.
class SingleInstance {
public:
    enum class Result {
        Held,           // this object holds the lock now
        HeldElsewhere,  // another process (or another object) holds it
        Failed          // the lock file could not be made or opened
    };

    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // name: a plain file name such as "Kivo_Qorvane" (no "/", not "." or "..").
    // Calling it again while held answers Held without doing anything.
    Result Acquire(const std::string& name);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // The folder that holds the lock files, created (mode 0700) when missing.
    // Empty when it cannot be made or is not a folder of this user's own.
    static std::string LockDirectory();

private:
    int m_fd = -1;
};
