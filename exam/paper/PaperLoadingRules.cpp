#include "exam/paper/PaperLoadingRules.h"

#include <cstdio>

namespace {

// The system's own texts, fixed as they stand (not from the string table).
constexpr const char* kDownloadingText = "正在下载试卷...";
constexpr const char* kSpeedupDoneText = "从加速通道下载成功";
constexpr const char* kOriginalDoneText = "从原始通道下载成功";
constexpr const char* kSpeedupFailedText = "从加速通道下载失败，尝试原始通道...(%d)";
constexpr const char* kOriginalFailedText = "从原始通道下载失败：错误码：204";
constexpr const char* kContentText = "正在加载试卷内容...(%d)";
constexpr const char* kContentFailedText = "网络原因，试卷加载失败！错误码：202";

std::string WithCount(const char* format, int count) {
    char text[128];
    snprintf(text, sizeof(text), format, count);
    return text;
}

using Buttons = PaperLoadingRules::Buttons;
constexpr Buttons kRetryAndExit{true, true, false, false, false};
constexpr Buttons kChannelButtons{false, false, true, true, true};
constexpr Buttons kNoButtons{false, false, false, false, false};

}  // namespace

PaperLoadingRules::Effects PaperLoadingRules::SetStatus(int status, bool tick) {
    Effects effects;
    effects.handled = true;
    switch (status) {
        case kDownloading:
            effects.line1 = kDownloadingText;
            break;
        case kSpeedupDone:
            effects.line1 = kSpeedupDoneText;
            break;
        case kOriginalDone:
            effects.line1 = kOriginalDoneText;
            break;
        case kSpeedupFailed:
            if (tick) {
                --m_speedupCountdown;
            } else {
                effects.buttons = kChannelButtons;
                m_speedupCountdown = kSpeedupCountdown;
                effects.startSpeedupTimer = true;
            }
            if (m_speedupCountdown > 0) {
                effects.line1 = WithCount(kSpeedupFailedText, m_speedupCountdown);
            } else {
                effects.close = true;
                effects.restart = kRestartOriginal;
            }
            break;
        case kOriginalFailed:
            effects.line1 = kOriginalFailedText;
            effects.buttons = kRetryAndExit;
            break;
        case kLoadingContent:
            if (tick) {
                --m_contentCountdown;
            } else {
                effects.buttons = kNoButtons;
                m_contentCountdown = kContentCountdown;
                effects.startContentTimer = true;
            }
            if (m_contentCountdown > 0) {
                effects.line1 = WithCount(kContentText, m_contentCountdown);
            } else {
                effects.stopContentTimer = true;
                effects.line1 = kContentFailedText;
                effects.buttons = kRetryAndExit;
            }
            break;
        case kFinished:
            effects.close = true;
            break;
        default:
            effects.handled = false;
            break;
    }
    return effects;
}
