#pragma once

#include <functional>
#include <memory>
#include <string>

// Holds off the machine's shutdown while the client has work that must not
// be lost, through systemd-logind's inhibitor locks on the system bus:
//
// - a "block" lock makes logind refuse a shutdown asked for by a user;
// - a "delay" lock covers the cases a block does not stop (root, or a
//   shutdown forced past the block): logind announces PrepareForShutdown
//   and waits up to its delay limit, during which the last-attempt callback
//   runs before the lock is let go.
//
// The bus work runs on a thread of its own, so holding and releasing never
// wait for the bus on the caller's thread. Without logind (a container, a
// bare X session) the failure is logged once and everything else goes on.
class ShutdownInhibitor {
public:
    static constexpr const char* kWhat = "shutdown";
    static constexpr const char* kWho = "Qorvane";
    // The system's own text, fixed as it stands (not from the string table).
    static constexpr const char* kWhy = "后台正在提交考试答案，请确定是否继续强制关机？";
    // logind's own default for InhibitDelayMaxSec, used when it cannot be read.
    static constexpr int kDefaultDelayMs = 5000;
    // Left of the delay for letting go of the lock in time.
    static constexpr int kDelayMarginMs = 500;

    using Logger = std::function<void(const std::string& line)>;
    // Runs on the inhibitor's thread when the system goes down; it may use
    // at most budgetMs.
    using LastAttempt = std::function<void(int budgetMs)>;

    ShutdownInhibitor();
    ~ShutdownInhibitor();
    ShutdownInhibitor(const ShutdownInhibitor&) = delete;
    ShutdownInhibitor& operator=(const ShutdownInhibitor&) = delete;

    // Starts the bus thread; false when it could not be started.
    bool Start(Logger log, LastAttempt lastAttempt);
    void Stop();

    // Takes both locks (true) or lets them go (false). Returns at once.
    void SetHeld(bool held);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
