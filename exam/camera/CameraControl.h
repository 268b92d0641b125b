#pragma once

#include "ui/WindowImplBaseNew.h"

class QLabel;

// The camera fault tip: a full-screen, half-transparent window over the exam
// telling the learner that the camera has failed, shown when another program
// reports a fault to the main frame. One per process, created on demand.
// GUI thread only.
class CCameraControl : public WindowImplBaseNew {
    Q_OBJECT
public:
    static constexpr int kFaultCode = 5;
    static constexpr int kLostCode = -1;
    static constexpr int kRecoveredCode = 6;
    static constexpr int kAlpha = 100;

    static CCameraControl* Instance();
    static CCameraControl* Existing();

    // 5 or -1 show the tip (or update its text), 6 closes it, anything else
    // is only remembered.
    void ShowCameraFault(int code);
    int LastStatus() const { return m_status; }

protected:
    QString GetSkinFile() const override { return "CameraTip.xml"; }
    void InitAfterCreate() override;
    void OnTimer(int) override {}
    void ClickNotify(const QString& name) override;
    void OnFinalMessage() override;

private:
    CCameraControl() = default;
    ~CCameraControl() override;
    void SetTip(const QString& text);

    int m_screenWidth = 0;
    int m_screenHeight = 0;
    int m_status = 0;
    QLabel* m_tip = nullptr;
};
