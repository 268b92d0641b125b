#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "tests/support/JournalWatch.h"

// What the stand-in's exam pages (probe.html) reported through /demo/event,
// read from the platform stand-in's journal, and what the exam window shows
// the learner about its lock-down.
namespace ExamPage {

constexpr int kWaitMs = 30000;

bool IsEvent(const Json::Value& entry, const std::string& fn);
std::vector<std::string> EventArgs(const Json::Value& entry);
// An event fn whose arguments start with args.
bool WaitEvent(JournalWatch& journal, const std::string& fn,
               const std::vector<std::string>& args = {}, int timeoutMs = kWaitMs);
// The keys the page with this tag saw pressed, in order.
std::vector<std::string> KeysSeen(JournalWatch& journal, const std::string& tag);

// The lock-down notice: the exam layout's red row along the window's bottom,
// in a screenshot of the window (named shotName in the test's output).
bool LockNoticeShown(unsigned long examWindow, int windowHeight, const std::string& shotName);
// Polls the screenshots until the notice is shown (or gone).
bool WaitLockNotice(unsigned long examWindow, int windowHeight, bool shown,
                    const std::string& shotName);

}  // namespace ExamPage
