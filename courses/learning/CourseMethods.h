#pragma once

#include <functional>

class WindowImplBaseNew;

// Installs the course family's methods on "/COURSEMANAGERREQUEST.KIVO":
// "StartViewCourse", "CheckViewCourse", "StartLearning" and "StopLearning".
void RegisterCourseMethods(std::function<WindowImplBaseNew*()> mainFrame);

// The main frame's answer to WM_START_LEARNING (lParam: the LearningArgs):
// 0 when the learning window opened.
long HandleStartLearningMessage(long lParam);
