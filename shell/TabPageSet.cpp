#include "shell/TabPageSet.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QValidator>

#include "config/BrowserZone.h"
#include "config/ClientPaths.h"
#include "config/ClientSettings.h"
#include "config/ProxyForm.h"
#include "config/StringTable.h"
#include "foundation/ClientLog.h"
#include "foundation/Encoding.h"
#include "http/HttpGetClient.h"
#include "peers/downloader/DownloaderAddress.h"
#include "ui/Controls.h"
#include "ui/MessageBox.h"
#include "ui/MessageHub.h"
#include "ui/browser/BrowserHost.h"

namespace {

constexpr const char* kSectionStyle =
    "QPushButton { background: #ffffff; border: none; }"
    "QPushButton:hover { background: #ffffff; }";
constexpr const char* kOtherSectionStyle =
    "QPushButton { background: #f0f0f1; border: none; }"
    "QPushButton:hover { background: #e1e6eb; }";
constexpr const char* kStateHolds = "color: #00ff00;";
constexpr const char* kStateFails = "color: #ff0000;";
constexpr const char* kProxyControls[] = {"ProxyIp", "ProxyPort", "ProxyUser", "ProxyPwd"};

// GUI thread only: the page a site added from the channel is shown in.
CTabPageSet* g_settingsPage = nullptr;

// Shared by the page and the channel; read from the registry on first use.
TrustedSiteList& Sites() {
    static TrustedSiteList* list = [] {
        auto* sites = new TrustedSiteList;
        sites->Load();
        return sites;
    }();
    return *list;
}

ClientSettings Settings() {
    return ClientSettings(GetClientPaths().settingsFile);
}

QString Ansi(const std::string& text) {
    return QString::fromStdString(AnsiToUtf8(text));
}

std::string AnsiOf(const QString& text) {
    return Utf8ToAnsi(text.toStdString());
}

void ShowState(WindowImplBaseNew* frame, const char* label, bool holds) {
    if (auto* control = frame->FindControl<QLabel>(label)) {
        control->setText(StringTable::Text(holds ? "STR_IESET_SUCC" : "STR_IESET_FAIL"));
        control->setStyleSheet(holds ? kStateHolds : kStateFails);
    }
}

}  // namespace

CTabPageSet::CTabPageSet(WindowImplBaseNew* frame) : m_frame(frame) {
    g_settingsPage = this;
}

CTabPageSet::~CTabPageSet() {
    if (g_settingsPage == this) {
        g_settingsPage = nullptr;
    }
}

void CTabPageSet::Prepare() {
    if (!m_frame || !m_frame->GetWidget()) {
        return;
    }
    if (!m_prepared) {
        m_prepared = true;
        FirstPrepare();
    } else if (!m_engineChecked) {
        // Reading the engine's version maps its module: not before the
        // learner first opens the tab (the first prepare comes with the
        // main frame, which idles in the tray).
        m_engineChecked = true;
        CheckEngine();
    }
    LoadProxy();
}

void CTabPageSet::FirstPrepare() {
    m_body = m_frame->FindControl<QScrollArea>("page_set_mainbody");
    if (m_body) {
        m_body->verticalScrollBar()->setSingleStep(kWheelStep);
        QObject::connect(m_body->verticalScrollBar(), &QScrollBar::valueChanged, m_body,
                         [this](int y) { FollowScroll(y); });
    }
    ShowSection("set_proxy", kProxySectionY);
    if (auto* port = m_frame->FindControl<QLineEdit>("ProxyPort")) {
        port->setValidator(new QIntValidator(1, 65535, port));
    }
    const ClientSettings settings = Settings();
    if (auto* option = m_frame->FindControl<QAbstractButton>("option_autodown")) {
        option->setChecked(settings.ReadAutoCache());
        ToggleAdvanceDownload();
    }
    ApplyZone();
    ShowAddPanel(false);
    if (auto* check = m_frame->FindControl<QAbstractButton>("check_ie7")) {
        check->setChecked(settings.ReadBrowserEmulation() == BrowserZone::kDefaultEmulation);
    }
}

int CTabPageSet::OnClick(const QString& name) {
    if (name == "set_proxy") {
        ShowSection("set_proxy", kProxySectionY);
    } else if (name == "set_download") {
        ShowSection("set_download", kDownloadSectionY);
    } else if (name == "set_ie") {
        ShowSection("set_ie", kIeSectionY);
    } else if (name == "BtnProxyOK" || name == "BtnProxyApply") {
        SaveProxy();
    } else if (name == "OptionUIIEProxy") {
        auto* option = m_frame->FindControl<QAbstractButton>("OptionUIIEProxy");
        EnableProxyControls(option && option->isChecked());
    } else if (name == "option_autodown") {
        ToggleAdvanceDownload();
    } else if (name == "btn_ieset") {
        ApplyZone();
    } else if (name == "btn_iecheck") {
        CheckZone();
    } else if (name == "check_ie7") {
        ToggleEmulation();
    } else if (name == "btn_addtrustsite") {
        ShowAddPanel(true);
    } else if (name == "btnOk_addtrustsite") {
        auto* edit = m_frame->FindControl<QLineEdit>("edit_addtrustsite");
        if (edit) {
            AddTrustedSite(edit->text().toStdString());
        }
        ShowAddPanel(false);
    } else if (name == "btn_deletetrustsite") {
        DeleteTrustedSite();
    } else {
        return 0;
    }
    return 1;
}

int CTabPageSet::OnScroll(const QString&) {
    if (m_body) {
        FollowScroll(m_body->verticalScrollBar()->value());
    }
    return 0;
}

void CTabPageSet::HighlightSection(const char* name) {
    auto* button = m_frame->FindControl<QAbstractButton>(name);
    if (!button || button == m_currentSection) {
        return;
    }
    if (m_currentSection) {
        m_currentSection->setStyleSheet(kOtherSectionStyle);
    }
    button->setStyleSheet(kSectionStyle);
    m_currentSection = button;
}

void CTabPageSet::ShowSection(const char* name, int y) {
    if (m_body) {
        m_scrollingToSection = true;
        m_body->verticalScrollBar()->setValue(y);
        m_scrollingToSection = false;
    }
    // The other two start in the plain colours.
    for (const char* other : {"set_proxy", "set_download", "set_ie"}) {
        if (auto* button = m_frame->FindControl<QAbstractButton>(other);
            button && !m_currentSection) {
            button->setStyleSheet(kOtherSectionStyle);
        }
    }
    HighlightSection(name);
}

void CTabPageSet::FollowScroll(int y) {
    if (m_scrollingToSection) {
        return;
    }
    HighlightSection(y <= kDownloadSectionY ? "set_proxy"
                     : y <= kIeSectionY     ? "set_download"
                                            : "set_ie");
}

void CTabPageSet::LoadProxy() {
    const ProxyForm form = ProxyForm::LoadStored();
    if (auto* address = m_frame->FindControl<CIpAddressEdit>("ProxyIp")) {
        if (!address->SetAddress(Ansi(form.address))) {
            address->clear();
        }
    }
    m_frame->SetControlText("ProxyPort", QString::fromStdString(form.port));
    m_frame->SetControlText("ProxyUser", Ansi(form.user));
    m_frame->SetControlText("ProxyPwd", Ansi(form.password));
    if (auto* option = m_frame->FindControl<QAbstractButton>("OptionUIIEProxy")) {
        option->setChecked(form.enabled);
    }
    EnableProxyControls(form.enabled);
    Sites().Load();
    ShowTrustedSites();
}

void CTabPageSet::EnableProxyControls(bool enabled) {
    for (const char* name : kProxyControls) {
        if (QWidget* control = m_frame->FindControl(name)) {
            control->setEnabled(enabled);
        }
    }
}

void CTabPageSet::SaveProxy() {
    ProxyForm form;
    auto text = [this](const char* name) {
        auto* edit = m_frame->FindControl<QLineEdit>(name);
        return edit ? AnsiOf(edit->text()) : std::string();
    };
    auto* address = m_frame->FindControl<CIpAddressEdit>("ProxyIp");
    form.address = address ? AnsiOf(address->Address()) : std::string();
    form.port = text("ProxyPort");
    form.user = text("ProxyUser");
    form.password = text("ProxyPwd");
    auto* option = m_frame->FindControl<QAbstractButton>("OptionUIIEProxy");
    form.enabled = option && option->isChecked();
    if (!form.Valid()) {
        LOG_WARN("save proxy info: invalid input");
        ShowSection("set_proxy", kProxySectionY);
        ShowMessageBox(m_frame, StringTable::Text("STR_INVAILD_PROXYINFO"),
                       MessageBoxKind::kWarning, 0);
        return;
    }
    if (!DownloaderAccepts(kDownloaderConnectMs)) {
        LOG_WARN("save proxy info: downloader not reachable");
        ShowMessageBox(m_frame, StringTable::Text("STR_SAVE_FAIL"), MessageBoxKind::kWarning, 0);
        return;
    }
    // The password travels only in the request, never into the log.
    LOG_INFO("save proxy info: enable=%d server=%s:%s user=%s", form.enabled ? 1 : 0,
             form.address.c_str(), form.port.c_str(), form.user.c_str());
    CHttpGetClient client;
    client.Get(std::string("http://") + kDownloaderHost + ":" + std::to_string(DownloaderPort()) +
                   form.RequestTarget(),
               kDownloaderAnswerMs, 0);
    ShowMessageBox(m_frame, StringTable::Text("STR_SAVE_SUCCESS"), MessageBoxKind::kWarning, 0);
}

void CTabPageSet::ToggleAdvanceDownload() {
    auto* option = m_frame->FindControl<QAbstractButton>("option_autodown");
    if (option && option->isChecked()) {
        m_frame->SetTimer(kAdvanceDownloadTimer, kAdvanceDownloadIntervalMs);
    } else {
        m_frame->KillTimer(kAdvanceDownloadTimer);
    }
}

void CTabPageSet::OnTimer(int id) {
    if (id != kAdvanceDownloadTimer) {
        return;
    }
    auto* option = m_frame->FindControl<QAbstractButton>("option_autodown");
    if (option && option->isChecked()) {
        m_frame->SetControlText("label_autodown", StringTable::Text("STR_ALLOW_ADVANCEDOWN"));
    } else {
        m_frame->KillTimer(kAdvanceDownloadTimer);
    }
}

void CTabPageSet::ApplyZone() {
    if (!BrowserZone::ApplyZoneSettings()) {
        LOG_WARN("apply zone settings failed");
    }
    CheckZone();
}

void CTabPageSet::CheckZone() {
    if (m_engineChecked) {
        CheckEngine();
    }
    for (const char* label : BrowserZone::kZoneLabels) {
        ShowState(m_frame, label, BrowserZone::LabelHolds(label));
    }
}

void CTabPageSet::CheckEngine() {
    ShowState(m_frame, "state_ie", *BrowserHost::EngineVersion() != '\0');
}

void CTabPageSet::ToggleEmulation() {
    auto* check = m_frame->FindControl<QAbstractButton>("check_ie7");
    const int mode = check && check->isChecked()
                         ? BrowserZone::kDefaultEmulation
                         : BrowserZone::InstalledEngineMajor(BrowserHost::EngineVersion());
    BrowserZone::SetBrowserEmulation(Settings(), mode);
}

bool CTabPageSet::AddTrustedSite(const std::string& site) {
    const TrustedSiteList::AddResult result = Sites().Add(site);
    if (result == TrustedSiteList::AddResult::kAdded) {
        // The row follows on the GUI thread, whoever added the site.
        MessageHub::PostCall([] {
            if (g_settingsPage && g_settingsPage->m_prepared) {
                g_settingsPage->ShowTrustedSites();
            }
        });
    }
    return result != TrustedSiteList::AddResult::kEmpty;
}

void CTabPageSet::ShowTrustedSites() {
    auto* list = m_frame->FindControl<QListWidget>("list_trustsite");
    if (!list) {
        return;
    }
    list->clear();
    for (const TrustedSites::Record& record : Sites().Records()) {
        auto* item = new QListWidgetItem(QString::fromStdString(record.text), list);
        item->setSizeHint(QSize(0, kTrustedRowHeight));
    }
}

void CTabPageSet::DeleteTrustedSite() {
    auto* list = m_frame->FindControl<QListWidget>("list_trustsite");
    const int row = list ? list->currentRow() : -1;
    if (row < 0) {
        return;
    }
    if (!Sites().Remove(static_cast<size_t>(row))) {
        ShowMessageBox(nullptr, StringTable::Text("STR_DELETEFAIL"), MessageBoxKind::kWarning, 0);
        return;
    }
    Sites().Load();
    ShowTrustedSites();
}

void CTabPageSet::ShowAddPanel(bool shown) {
    if (QWidget* panel = m_frame->FindControl("wnd_addtrustsite")) {
        panel->setVisible(shown);
    }
    if (auto* edit = m_frame->FindControl<QLineEdit>("edit_addtrustsite")) {
        if (shown) {
            edit->setFocus();
        } else {
            edit->clear();
        }
    }
}
