#pragma once

#include <array>
#include <optional>
#include <string>

// What the paper-loading window does for each download state, free of any
// window so tests can drive it: the texts, the buttons, the countdowns and
// when the window closes and asks the downloader to fetch the paper again.
class PaperLoadingRules {
public:
    enum Button {
        kRetryExam,
        kExitExam,
        kTrySpeedupChannel,
        kTryOriginalChannel,
        kExitDownloadPaper,
        kButtonCount
    };
    using Buttons = std::array<bool, kButtonCount>;  // shown and enabled

    static constexpr int kDownloading = 0;
    static constexpr int kSpeedupDone = 1;
    static constexpr int kOriginalDone = 2;
    static constexpr int kSpeedupFailed = -1;
    static constexpr int kOriginalFailed = -2;
    static constexpr int kLoadingContent = 3;
    static constexpr int kFinished = 4;

    static constexpr int kSpeedupCountdown = 15;
    static constexpr int kContentCountdown = 30;
    // RestartExam channels.
    static constexpr int kNoRestart = -2;
    static constexpr int kRestartOriginal = 0;
    static constexpr int kRestartSpeedup = 1;
    static constexpr int kRestartFromStart = -1;

    struct Effects {
        bool handled = false;              // false: an unknown status, nothing changes
        std::optional<std::string> line1;  // UTF-8; line 2 is cleared with it
        std::optional<Buttons> buttons;
        bool startSpeedupTimer = false;
        bool startContentTimer = false;
        bool stopContentTimer = false;
        bool close = false;  // every timer stopped, the window closed
        int restart = kNoRestart;
    };

    // tick: a countdown's own second, not a status from outside.
    Effects SetStatus(int status, bool tick);

    int SpeedupCountdown() const { return m_speedupCountdown; }
    int ContentCountdown() const { return m_contentCountdown; }

private:
    int m_speedupCountdown = 0;
    int m_contentCountdown = 0;
};
