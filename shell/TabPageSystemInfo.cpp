#include "shell/TabPageSystemInfo.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUrl>

#include "config/StringTable.h"
#include "config/SystemInfoTexts.h"
#include "foundation/Encoding.h"
#include "foundation/FileUtil.h"
#include "foundation/UrlUtil.h"
#include "http/HttpGetClient.h"
#include "peers/downloader/DownloaderAddress.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/paths/DataPaths.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/registry/Registry.h"
#include "platform/sysinfo/SystemQueries.h"
#include "ui/MessageBox.h"
#include "ui/WindowImplBaseNew.h"
#include "ui/browser/BrowserHost.h"

namespace {

constexpr const char* kModifyDataPathRequest = "/MODI_DATA_PATH.KIVO";

QString Ansi(const std::string& text) {
    return QString::fromStdString(AnsiToUtf8(text));
}

bool DownloaderRunning() {
    return DownloaderAccepts(CTabPageSystemInfo::kDownloaderProbeMs);
}

// Two spellings of one folder compare equal: "." and ".." resolved and the
// separator at the end dropped. Letter case is kept, since names that differ
// only in case are different folders here.
std::string FolderKey(std::string path) {
    NormalizePath(path);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The downloader runs with the rights to change the machine's settings.
void AskDownloaderToMoveData(const std::string& path) {
    if (!DownloaderRunning()) {
        return;
    }
    CHttpGetClient client;
    client.Get("http://127.0.0.1:" + std::to_string(DownloaderPort()) + kModifyDataPathRequest +
                   "?ModiDataPath=" + UrlEncodeQuery(path, QuerySpace::kEscaped),
               CTabPageSystemInfo::kDownloaderAnswerMs, 0);
}

}  // namespace

void CTabPageSystemInfo::Prepare() {
    m_prepared = true;
    Fill();
}

void CTabPageSystemInfo::Fill() {
    if (!m_frame) {
        return;
    }
    std::string name;
    std::string version;
    GetOSVersionName(name, version);
    m_frame->SetControlText("LabelOS", Ansi(name) + " V" + Ansi(version));

    const std::string user = CurrentUserName();
    m_frame->SetControlText("LabelLoginUser", QString::fromStdString(user) + " (" +
                                                  StringTable::Text(SystemInfoTexts::AccountTypeId(
                                                      AccountPrivilegeLevel(user), user)) +
                                                  ")");
    m_frame->SetControlText("LabelIEVersion", QString::fromLatin1(BrowserHost::EngineVersion()));

    ProxySettings proxy;
    const int loaded = proxy.LoadFromIE();
    std::string proxyUser, proxyPass, proxyAuth;
    const bool haveUser = RegReadString(kProxyInfoKey, "IEProxyUser", proxyUser) == 0;
    const bool havePass = RegReadString(kProxyInfoKey, "IEProxyPass", proxyPass) == 0;
    const bool haveAuth = RegReadString(kProxyInfoKey, "IEProxyAuth", proxyAuth) == 0;
    m_frame->SetControlText("LabelIEProxy", SystemInfoTexts::ProxyText(loaded, proxy));
    m_frame->SetControlText("LabelIEProxyAuth", SystemInfoTexts::ProxyAuthText(
                                                    loaded, proxy, haveUser, proxyUser, havePass,
                                                    proxyPass, haveAuth, proxyAuth));

    m_frame->SetControlText("LabelDownloader",
                            SystemInfoTexts::DownloaderText(DownloaderRunning(), DownloaderPort()));

    std::string installPath;
    if (RegReadString(kProductRegistryKey, kInstallPathValue, installPath) != 0) {
        // Packages install without writing it: the folder we run from.
        installPath = Utf8ToAnsi(ProgramDirectory());
    }
    std::string dataPath;
    RegReadString(kProductRegistryKey, kDataPathValue, dataPath);
    if (auto* edit = m_frame->FindControl<QLineEdit>("EditInstallPath")) {
        edit->setText(Ansi(installPath));
    }
    if (auto* edit = m_frame->FindControl<QLineEdit>("EditDataPath")) {
        edit->setText(Ansi(dataPath));
    }

    std::vector<std::string> devices;
    QString cameras;
    ListCaptureDevices(CaptureCategory::kVideo, devices);
    for (const std::string& device : devices) {
        cameras += Ansi(device) + ";";
    }
    if (auto* edit = m_frame->FindControl<QLineEdit>("edit_camera")) {
        edit->setText(cameras);
    }
    QString microphones;
    ListCaptureDevices(CaptureCategory::kAudio, devices);
    for (const std::string& device : devices) {
        microphones += Ansi(device) + "\r\n";
    }
    if (auto* edit = m_frame->FindControl<QPlainTextEdit>("edit_mic")) {
        edit->setPlainText(microphones);
    }
}

int CTabPageSystemInfo::OnClick(const QString& name) {
    if (name == "BtnOpenInstallPath") {
        OpenFolder("EditInstallPath");
    } else if (name == "BtnOpenDataPath") {
        OpenFolder("EditDataPath");
    } else if (name == "BtnModiDataPath") {
        MoveDataFolder();
    } else {
        return 0;
    }
    return 1;
}

void CTabPageSystemInfo::OpenFolder(const char* editName) {
    auto* edit = m_frame ? m_frame->FindControl<QLineEdit>(editName) : nullptr;
    const QString folder = edit ? edit->text().trimmed() : QString();
    if (!folder.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}

void CTabPageSystemInfo::MoveDataFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        m_frame ? m_frame->GetWidget() : nullptr, StringTable::Text("STR_CHOICE_DATAPATH"));
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = Utf8ToAnsi(chosen.toStdString());
    if (!IsDirectoryWritable(path)) {
        ShowMessageBox(m_frame, StringTable::Text("STR_CANNOT_WRITE"), MessageBoxKind::kWarning, 0);
        return;
    }
    std::string current;
    RegReadString(kProductRegistryKey, kDataPathValue, current);
    if (FolderKey(current) == FolderKey(path)) {
        return;
    }
    if (RegWriteString(RegistryRoot::LocalMachine, kProductRegistryKey, kDataPathValue, path) !=
        0) {
        AskDownloaderToMoveData(path);
    }
    std::string stored;
    RegReadString(kProductRegistryKey, kDataPathValue, stored);
    const bool moved = FolderKey(stored) == FolderKey(path);
    ShowMessageBox(m_frame, StringTable::Text(moved ? "STR_MODIFY_SUCC" : "STR_MODIFY_FAIL"),
                   MessageBoxKind::kWarning, 0);
    if (moved) {
        Fill();
    }
}
