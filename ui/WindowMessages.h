#pragma once

#include <cstdint>

// Window message vocabulary shared by every window of the client. The numbers
// are the ones other programs and our own pages have always used.
using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr UINT WM_USER = 1024;
constexpr UINT WM_APP = 32768;

constexpr UINT WM_PAUSE_EXAM = WM_USER + 1000;       // exam window, to itself
constexpr UINT WM_ANSWER_UPLOADED = WM_USER + 1000;  // question window, to itself
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 2000;      // 3024
constexpr UINT WM_CONFIRM_DELETE = WM_USER + 2001;   // 3025
constexpr UINT WM_START_EXAM = WM_USER + 2002;       // 3026
constexpr UINT WM_START_EXAM_QUESTION = WM_USER + 2003;
constexpr UINT WM_START_VIEW_COURSE = WM_USER + 2004;
constexpr UINT WM_START_LEARNING = WM_USER + 2005;
constexpr UINT WM_SHOW_PAPER_LOADING = WM_USER + 2006;
constexpr UINT WM_CAMERA_FAULT = WM_USER + 2007;  // 3031, also from other programs
constexpr UINT WM_CLIENT_SAVE_ANSWER = WM_USER + 2008;
constexpr UINT WM_SHOW_AUTO_UPDATE = WM_USER + 2009;  // 3033
constexpr UINT WM_UPDATE_PROGRESS = WM_USER + 9000;   // 10024
constexpr UINT WM_MENU_COMMAND = WM_APP + 3001;       // 35769

// Standard messages the window layer understands when they arrive from
// another program or are posted to a window of ours.
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SHOWWINDOW_NORMAL = 0x7FF0;  // "show normally", sent by a second instance

// Mouse messages carried in lParam of WM_TRAY_NOTIFY.
constexpr LPARAM WM_LBUTTONUP = 0x0202;  // 514
constexpr LPARAM WM_RBUTTONUP = 0x0205;  // 517

// Window styles a window is created with, mapped onto the toolkit's flags.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;  // inside the parent window, not a window of its own
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008u;
constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080u;
constexpr uint32_t WS_EX_NOACTIVATE = 0x08000000u;
