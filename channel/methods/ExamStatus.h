#pragma once

#include <atomic>

// The client's exam state: 0 no exam (or cleared), 1 in the exam, 2 ended.
// Read by channel threads without waiting for the GUI thread.
constexpr int kExamStatusNone = 0;
constexpr int kExamStatusRunning = 1;
constexpr int kExamStatusEnded = 2;

extern std::atomic<int> examStatus;
