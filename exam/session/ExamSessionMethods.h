#pragma once

#include <functional>

class WindowImplBaseNew;

// What "StartExam" tells the paper-loading window once the exam is open; the
// paper-loading window fills it in. setStatus runs only when hasWindow says
// the window is shown.
struct PaperLoadingHook {
    std::function<bool()> hasWindow;
    std::function<void(int)> setStatus;
};
void SetPaperLoadingHook(PaperLoadingHook hook);

// Installs the five exam session methods. mainFrame gives the window that
// opens exams (WM_START_EXAM); null refuses every start.
void RegisterExamSessionMethods(std::function<WindowImplBaseNew*()> mainFrame);
