#include "ui/Controls.h"

#include <QStringList>

#include "ui/WindowImplBaseNew.h"

CAnimationLabel::CAnimationLabel(QWidget* parent) : QLabel(parent) {
    connect(&m_timer, &QTimer::timeout, this, [this] { ShowNextFrame(); });
}

void CAnimationLabel::LoadFrames() {
    m_frames.clear();
    QPixmap strip = WindowImplBaseNew::LoadImage(property("frames").toString());
    int count = std::max(1, property("frameCount").toInt());
    if (strip.isNull()) {
        return;
    }
    int width = strip.width() / count;
    for (int i = 0; i < count; ++i) {
        m_frames.push_back(strip.copy(i * width, 0, width, strip.height()));
    }
}

void CAnimationLabel::StartAnimation() {
    if (m_frames.empty()) {
        LoadFrames();
    }
    if (m_frames.empty()) {
        return;
    }
    int interval = property("interval").toInt();
    m_timer.start(interval > 0 ? interval : kDefaultIntervalMs);
    ShowNextFrame();
}

void CAnimationLabel::StopAnimation() {
    m_timer.stop();
}

void CAnimationLabel::ShowNextFrame() {
    if (m_frames.empty()) {
        return;
    }
    m_current = (m_current + 1) % static_cast<int>(m_frames.size());
    setPixmap(m_frames[static_cast<size_t>(m_current)]);
}

QValidator::State IpAddressValidator::validate(QString& input, int&) const {
    if (input.isEmpty()) {
        return Intermediate;
    }
    const QStringList parts = input.split('.');
    if (parts.size() > 4) {
        return Invalid;
    }
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            continue;  // still being typed
        }
        bool number = false;
        int value = part.toInt(&number);
        if (!number || part.size() > 3 || value > 255 || part.startsWith('+') ||
            part.startsWith('-')) {
            return Invalid;
        }
    }
    if (parts.size() < 4 || parts.contains(QString())) {
        return Intermediate;
    }
    return Acceptable;
}

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new IpAddressValidator(this));
}

QString CIpAddressEdit::Address() const {
    return hasAcceptableInput() ? text() : QString();
}

bool CIpAddressEdit::SetAddress(const QString& address) {
    QString copy = address;
    int pos = 0;
    if (validator()->validate(copy, pos) != QValidator::Acceptable) {
        return false;
    }
    setText(address);
    return true;
}

QWidget* SkinUiLoader::createWidget(const QString& className, QWidget* parent,
                                    const QString& name) {
    QWidget* widget = nullptr;
    if (className == "CAnimationLabel") {
        widget = new CAnimationLabel(parent);
    } else if (className == "CIpAddressEdit") {
        widget = new CIpAddressEdit(parent);
    } else {
        return QUiLoader::createWidget(className, parent, name);
    }
    widget->setObjectName(name);
    return widget;
}
