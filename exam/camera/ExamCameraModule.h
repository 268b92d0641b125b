#pragma once

#include <string>

// Camera supervision for the exam window: installs the camera the exam window
// opens for exams that require one (snapshots under dataPath). Once, at
// start-up, on the GUI thread.
void InstallExamCamera(const std::string& dataPath);

// The main frame's answer to a camera fault another program reports
// (WM_CAMERA_FAULT with the code in lParam): the fault tip. GUI thread.
void ShowCameraFault(int code);
