// The system information tab as a learner and support staff see it: the real
// client in the private X session, the downloader stand-in, the registry hive
// files written and read from outside. What the page shows is read back the
// way a user copies it: a triple click selects a line and the X server hands
// out the primary selection.

#include <gtest/gtest.h>

#include <json/json.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "config/StringTable.h"
#include "platform/registry/Registry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/Files.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

namespace fs = std::filesystem;

const std::string kTitle = "Qorvane";
constexpr const char* kProductKey = "Software\\KIVO\\QORVANE";
constexpr const char* kProxyKey = "Software\\KIVO\\TESSAVIEW\\ProxyInfo";
constexpr const char* kModifyRequest = "/MODI_DATA_PATH.KIVO";
// Window positions (MainFrame.xml: the tab bar at y 36, the page at 1,80).
constexpr int kSystemTabX = 295;
constexpr int kSettingsTabX = 181;
constexpr int kTabY = 58;
constexpr int kValueX = 140;
constexpr int kProxyY = 180;
constexpr int kProxyAuthY = 206;
constexpr int kDownloaderY = 232;
constexpr int kInstallPathY = 259;
constexpr int kDataPathY = 291;
constexpr int kModifyX = 589;
// The message box (CMyMsgBox.xml): its size, text and OK button.
constexpr int kBoxWidth = 340;
constexpr int kBoxHeight = 130;
constexpr int kBoxTextX = 100;
constexpr int kBoxTextY = 41;
constexpr int kBoxOkX = 170;
constexpr int kBoxOkY = 100;
constexpr int kAnswerWaitMs = 5000;

QString TableText(const char* id) {
    static const StringTable table = [] {
        StringTable loaded;
        loaded.Load(ReadWholeFile(std::string(QORVANE_SOURCE_DIR) + "/skin/StringTable.xml"));
        return loaded;
    }();
    return table.Lookup(id);
}

std::string Utf8(const QString& text) {
    return text.toStdString();
}

class SystemInfoGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        // The stand-in and this test use the hives the client reads.
        m_env.Set(kRegistryDirOverride, m_dir.file("registry"));
        fs::create_directories(m_dir.file("data"));
    }
    void TearDown() override {
        X11Session::Screenshot("end");
        if (m_client.Pid() > 0) {
            EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
        }
    }

    void StartDownloader() {
        ASSERT_TRUE(m_downloader.Start(
            "QorvaneService", {"-commandline", "--port", "0", "--data", m_dir.file("downloader"),
                               "--report-channel", "none"}))
            << m_downloader.Failure();
        m_journal = std::make_unique<JournalWatch>(m_dir.file("downloader/journal.jsonl"));
    }
    int DownloaderPort() const {
        return m_downloader.Pid() > 0 ? m_downloader.Port("downloader") : m_closedPort;
    }
    void Launch(std::map<std::string, std::string> extra = {}) {
        extra["QORVANE_DOWNLOADER_PORT"] = std::to_string(DownloaderPort());
        ASSERT_TRUE(StartClient(m_client, m_dir, FreeLocalPort(), extra, {"-ShowNormal"}))
            << m_client.Output();
        auto window = X11Session::WaitForWindow(kTitle);
        ASSERT_TRUE(window) << m_client.Output();
        m_window = window->id;
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, kSystemTabX, kTabY));
    }
    // The page is filled each time it is shown.
    void ShowPageAgain() {
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, kSettingsTabX, kTabY));
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, kSystemTabX, kTabY));
    }

    // The line under a point of a window, as a triple click selects it.
    static std::string LineAt(unsigned long window, int x, int y) {
        if (!X11Session::Activate(window)) {
            return "<no window>";
        }
        int left = 0, top = 0, width = 0, height = 0;
        X11Session::Geometry(window, left, top, width, height);
        X11Session::Run({"xdotool", "mousemove", std::to_string(left + x), std::to_string(top + y),
                         "click", "--repeat", "3", "--delay", "80", "1"});
        const std::string out = X11Session::Run({QORVANE_EXAM_PROBE, "clipboard-get"});
        const std::string mark = "primary <";
        const size_t from = out.find(mark);
        const size_t to = out.rfind('>');
        if (from == std::string::npos || to == std::string::npos || to < from + mark.size()) {
            return "<no selection>";
        }
        return out.substr(from + mark.size(), to - from - mark.size());
    }
    // The page fills its lines when shown, the engine's version first (its
    // module loads then): a line still empty is read again until filled.
    std::string PageLine(int y) {
        std::string line = LineAt(m_window, kValueX, y);
        for (int waited = 0; line.empty() && waited < X11Session::kWaitMs;
             waited += X11Session::kPollMs) {
            X11Session::Run({"sleep", "0.1"});
            line = LineAt(m_window, kValueX, y);
        }
        return line;
    }

    // Waits for the client's message box, gives its text and closes it.
    std::string AnswerBox() {
        auto box = X11Session::WaitForWindowOfPid(m_client.Pid(), kBoxWidth, kBoxHeight);
        if (!box) {
            return "<no box>";
        }
        X11Session::Screenshot("box", *box);
        const std::string text = LineAt(*box, kBoxTextX, kBoxTextY);
        X11Session::ClickInWindow(*box, kBoxOkX, kBoxOkY);
        for (int waited = 0; waited < X11Session::kWaitMs && X11Session::IsViewable(*box);
             waited += X11Session::kPollMs) {
            X11Session::Run({"sleep", "0.1"});
        }
        return text;
    }
    // Opens the folder dialog, types the folder and takes it with Enter.
    void ChooseFolder(const std::string& folder) {
        // A synchronous move waits for motion: start from elsewhere.
        X11Session::Run({"xdotool", "mousemove", "0", "0"});
        ASSERT_TRUE(X11Session::ClickInWindow(m_window, kModifyX, kDataPathY));
        auto dialog = X11Session::WaitForWindow(Utf8(TableText("STR_CHOICE_DATAPATH")));
        ASSERT_TRUE(dialog) << m_client.Output();
        ASSERT_TRUE(X11Session::TypeText(dialog->id, folder));
        X11Session::Screenshot("dialog", dialog->id);
        ASSERT_TRUE(X11Session::SendKeys(dialog->id, {"Return"}));
        ASSERT_TRUE(X11Session::WaitForWindowGone(Utf8(TableText("STR_CHOICE_DATAPATH"))));
    }

    static std::string StoredDataPath() {
        std::string path;
        Registry(RegistryRoot::LocalMachine).ReadString(kProductKey, "DataPath", path);
        return path;
    }
    bool AskedToMove(const std::string& path, int timeoutMs) {
        return m_journal->WaitFor(
            [&](const Json::Value& e) {
                return e["path"].asString() == kModifyRequest &&
                       e["query"]["ModiDataPath"].asString() == path;
            },
            timeoutMs);
    }
    bool AskedToMoveAnything() {
        for (const Json::Value& e : m_journal->Entries()) {
            if (e["path"].asString() == kModifyRequest) {
                return true;
            }
        }
        return false;
    }

    TempDir m_dir;
    ScopedEnvironment m_env;
    StandinProcess m_downloader;
    std::unique_ptr<JournalWatch> m_journal;
    int m_closedPort = FreeLocalPort();
    ChildProcess m_client;
    unsigned long m_window = 0;
};

TEST_F(SystemInfoGui, ThePageShowsTheMachineTheProxyAndWhetherTheDownloaderRuns) {
    Registry machine(RegistryRoot::LocalMachine);
    ASSERT_EQ(machine.WriteString(kProductKey, "DataPath", m_dir.file("data")), 0);
    ASSERT_EQ(machine.WriteString(kProxyKey, "IEProxyUser", "learner"), 0);
    ASSERT_EQ(machine.WriteString(kProxyKey, "IEProxyPass", "s3cr3t"), 0);
    ASSERT_EQ(machine.WriteString(kProxyKey, "IEProxyAuth", "Basic realm=school"), 0);
    StartDownloader();
    const int port = DownloaderPort();
    Launch({{"http_proxy", "http://10.0.0.5:3128"},
            {"https_proxy", ""},
            {"no_proxy", "127.0.0.1,localhost"}});

    QString running = TableText("STR_DOWNLOADER_RUN");
    running.replace("%d", QString::number(port));
    EXPECT_EQ(PageLine(kDownloaderY), Utf8(running));
    EXPECT_EQ(PageLine(kProxyY), Utf8(TableText("STR_PROXY_ON")) + "  服务器 ：10.0.0.5:3128");
    EXPECT_EQ(PageLine(kProxyAuthY), "类型：Basic  用户：learner  密码：******");
    // Packages do not register the installation: the folder the client runs from.
    const std::string install = PageLine(kInstallPathY);
    EXPECT_TRUE(fs::equivalent(install, QORVANE_BIN_DIR)) << install;
    EXPECT_EQ(PageLine(kDataPathY), m_dir.file("data"));

    ASSERT_EQ(m_downloader.Terminate(), 0);
    ShowPageAgain();
    EXPECT_EQ(PageLine(kDownloaderY), Utf8(TableText("STR_DOWNLOADER_NOTRUN")));
}

TEST_F(SystemInfoGui, TheSameFolderChangesNothingAndAnotherOneIsStored) {
    // Stored with a separator at the end, chosen with one: the same folder.
    const std::string data = m_dir.file("data");
    ASSERT_EQ(Registry(RegistryRoot::LocalMachine).WriteString(kProductKey, "DataPath", data + "/"),
              0);
    StartDownloader();
    Launch();
    const std::string hive = Registry::HivePath(RegistryRoot::LocalMachine);
    struct stat before {};
    ASSERT_EQ(stat(hive.c_str(), &before), 0);
    const std::string clientArgs = ReadWholeFile(data + "/ClientArgs.ini");

    ChooseFolder(data + "/");
    // No box: the window stays the only one of the client.
    EXPECT_FALSE(X11Session::WaitForWindowOfPid(m_client.Pid(), kBoxWidth, kBoxHeight, 1000));
    struct stat after {};
    ASSERT_EQ(stat(hive.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the hive was rewritten";  // writes replace it
    EXPECT_EQ(StoredDataPath(), data + "/");
    EXPECT_EQ(ReadWholeFile(data + "/ClientArgs.ini"), clientArgs);
    EXPECT_FALSE(AskedToMoveAnything());

    // Names differing in letter case are different folders here.
    const std::string other = m_dir.file("Data");
    fs::create_directories(other);
    ChooseFolder(other);
    EXPECT_EQ(AnswerBox(), Utf8(TableText("STR_MODIFY_SUCC")));
    EXPECT_EQ(StoredDataPath(), other);
    EXPECT_FALSE(AskedToMoveAnything());  // the client could write it itself
    EXPECT_EQ(PageLine(kDataPathY), other);
}

TEST_F(SystemInfoGui, WhenTheMachineHiveRefusesTheDownloaderMovesTheDataFolder) {
    const std::string data = m_dir.file("data");
    ASSERT_EQ(Registry(RegistryRoot::LocalMachine).WriteString(kProductKey, "DataPath", data), 0);
    // The client's hives: its own user hive and the machine hive it may only
    // read, as for a learner without administrator rights. Root passes any
    // permission check, so the write is refused where it starts: its lock
    // file cannot be opened for writing because it is a folder.
    const std::string clientHives = m_dir.file("client-registry");
    fs::create_directories(clientHives + "/machine.reg.lock");
    fs::create_symlink(Registry::HivePath(RegistryRoot::LocalMachine),
                       clientHives + "/machine.reg");
    {
        ScopedEnvironment asClient;
        asClient.Set(kRegistryDirOverride, clientHives);
        std::string read;
        ASSERT_EQ(Registry(RegistryRoot::LocalMachine).ReadString(kProductKey, "DataPath", read),
                  0);
        ASSERT_EQ(read, data);
        ASSERT_NE(Registry(RegistryRoot::LocalMachine).WriteString(kProductKey, "Probe", "x"), 0);
    }
    StartDownloader();
    Launch({{kRegistryDirOverride, clientHives}});
    const std::string moved = m_dir.file("moved data");
    fs::create_directories(moved);

    ChooseFolder(moved);
    EXPECT_TRUE(AskedToMove(moved, kAnswerWaitMs));
    EXPECT_EQ(AnswerBox(), Utf8(TableText("STR_MODIFY_SUCC")));
    EXPECT_EQ(StoredDataPath(), moved);
    EXPECT_EQ(PageLine(kDataPathY), moved);
}

}  // namespace
