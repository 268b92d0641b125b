#include "ui/MessageBox.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "ui/MessageHub.h"

namespace {

bool IsCountdown(MessageBoxKind kind) {
    return kind == MessageBoxKind::kCountdown || kind == MessageBoxKind::kCountdownYesNo;
}

void Hide(QWidget* widget) {
    if (widget) {
        widget->hide();
    }
}

bool RunBoxOnGuiThread(WindowImplBaseNew* owner, const QString& text, MessageBoxKind kind, int seconds) {
    if (IsCountdown(kind) && seconds < 1) {
        return false;
    }
    auto* box = new CMyMsgBox(text, kind, seconds);
    QPointer<CMyMsgBox> guard(box);
    if (!box->Create(owner, "CMyMsgBox", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST)) {
        delete box;
        return false;
    }
    box->CenterWindow();
    box->ShowWindow(true, true);
    bool result = false;
    QEventLoop loop;
    QObject::connect(box, &CMyMsgBox::finished, &loop, [&] {
        result = box->Result();
        loop.quit();
    });
    if (!box->Finished()) {
        loop.exec();
    } else {
        result = box->Result();
    }
    return result;
}

}  // namespace

bool ShowMessageBox(WindowImplBaseNew* owner, const QString& text, MessageBoxKind kind, int seconds) {
    QPointer<WindowImplBaseNew> safeOwner(owner);
    return MessageHub::Call([&] { return RunBoxOnGuiThread(safeOwner, text, kind, seconds); });
}

CMyMsgBox::CMyMsgBox(const QString& text, MessageBoxKind kind, int seconds)
    : m_text(text), m_kind(kind), m_seconds(seconds) {}

void CMyMsgBox::InitAfterCreate() {
    QWidget* ok = FindControl("BtnOK");
    QWidget* no = FindControl("BtnNo");
    QWidget* yes = FindControl("BtnYes");
    auto* tips = FindControl<QLabel>("TextUITips");
    if (tips) {
        if (m_text.size() > kOneLineLength) {
            tips->setGeometry(QRect(QPoint(67, 8), QPoint(312, 57)));
        } else {
            tips->setGeometry(QRect(QPoint(77, 16), QPoint(322, 65)));
        }
        tips->setWordWrap(true);
        tips->setText(m_text);
    }
    switch (m_kind) {
        case MessageBoxKind::kWarning:
            Hide(yes);
            Hide(no);
            SetControlImage("LabelUIIcon", "warning.png");
            break;
        case MessageBoxKind::kQuestion:
            Hide(ok);
            SetControlImage("LabelUIIcon", "question.png");
            break;
        case MessageBoxKind::kCountdown:
            Hide(ok);
            Hide(yes);
            Hide(no);
            SetControlImage("LabelUIIcon", "time.png");
            break;
        case MessageBoxKind::kCountdownYesNo:
            Hide(ok);
            SetControlImage("LabelUIIcon", "time.png");
            break;
    }
    if (IsCountdown(m_kind)) {
        SetTimer(kCountdownTimer, kCountdownIntervalMs);
    }
}

void CMyMsgBox::ClickNotify(const QString& name) {
    if (name == "BtnOK" || name == "BtnYes") {
        m_result = true;
    } else if (name == "BtnNo") {
        m_result = false;
    }
    Close();
}

void CMyMsgBox::OnTimer(int id) {
    if (id != kCountdownTimer) {
        return;
    }
    if (auto* tips = FindControl<QLabel>("TextUITips")) {
        tips->setText(QString("%1(%2)").arg(m_text).arg(m_seconds));
    }
    --m_seconds;
    if (m_seconds <= 0) {
        KillTimer(kCountdownTimer);
        m_result = false;
        Close();
    }
}

bool CMyMsgBox::FilterKey(int key) {
    // Enter and Escape must not answer the box for the learner.
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

void CMyMsgBox::OnFinalMessage() {
    m_finished = true;
    emit finished();
    deleteLater();
}
