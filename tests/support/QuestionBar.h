#pragma once

// Where the GUI tests click on an Office question: the private X session's
// screen, the question bar's buttons (96 x 31 at y 9, placed from the right
// edge) and OK of the client's message box (CMyMsgBox.xml).
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
constexpr int kSaveX = kScreenWidth - 120 + 48;
constexpr int kCloseX = kScreenWidth - 220 + 48;
constexpr int kButtonY = 24;
constexpr int kBoxOkX = 170;
constexpr int kBoxOkY = 100;
