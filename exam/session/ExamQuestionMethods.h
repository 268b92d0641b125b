#pragma once

#include <functional>

class WindowImplBaseNew;

// Installs "UpdatePaperDownloadStatus", "StartExamQuestion" and
// "LookExamQuestion", and tells "StartExam" about the paper-loading window.
// mainFrame gives the window that opens the question and paper windows.
void RegisterExamQuestionMethods(std::function<WindowImplBaseNew*()> mainFrame);
