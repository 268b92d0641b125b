#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <QValidator>
#include <QtUiTools/QUiLoader>

#include <vector>

// Controls of our layouts that Qt has no widget for. Layouts name them by
// class ("CAnimationLabel", "CIpAddressEdit"); SkinUiLoader builds them.

// An animation: a strip of equally wide frames (dynamic properties "frames"
// = image file in the skin, "frameCount", "interval" in ms) shown in turn.
class CAnimationLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 100;

    explicit CAnimationLabel(QWidget* parent = nullptr);
    void StartAnimation();
    void StopAnimation();
    bool Animating() const { return m_timer.isActive(); }
    int CurrentFrame() const { return m_current; }
    int FrameCount() const { return static_cast<int>(m_frames.size()); }

private:
    void LoadFrames();
    void ShowNextFrame();

    QTimer m_timer;
    std::vector<QPixmap> m_frames;
    int m_current = -1;
};

// Dotted IPv4 text: four numbers 0-255.
class IpAddressValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// An IP address field: only dotted IPv4 text can be typed.
class CIpAddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);
    // The address when complete and valid, else empty.
    QString Address() const;
    bool SetAddress(const QString& address);
};

class SkinUiLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;
};
