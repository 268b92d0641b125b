// The container we ship, with real LibreOffice, inside the real client in the
// private X session: Office questions of a locked exam typed into, saved
// and uploaded through the downloader stand-in; a course document; and the
// faults a learner may meet. Checked from outside: the X window tree, the
// uploaded files, the page's events, /proc.

#include <gtest/gtest.h>

#include <json/json.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/ChannelPage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ClientLaunch.h"
#include "tests/support/HttpFetch.h"
#include "tests/support/JournalWatch.h"
#include "tests/support/OfficeStandin.h"
#include "tests/support/QuestionBar.h"
#include "tests/support/StandinProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/X11Session.h"

namespace {

const std::string kExamTitle = "Qorvane 在线考试";
const std::string kContainer = "QVOfficeContainer2003";
const std::string kOffice = "soffice.bin";
const std::string kOfficeDir = "/usr/lib/libreoffice/program";
// A cold office on a busy two-core machine takes its time.
constexpr int kOfficeWaitMs = 120000;
constexpr int kWaitMs = 30000;

std::string Fixture(const std::string& name) {
    return std::string(QORVANE_SOURCE_DIR) + "/tools/platform/fixtures/documents/" + name;
}

class OfficeContainerGui : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kOfficeDir + "/" + kOffice)) {
            GTEST_SKIP() << "LibreOffice is not installed";
        }
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        m_port = FreeLocalPort();
        ASSERT_TRUE(m_platform.Start(
            "PlatformStandin",
            {"--web", "0", "--update", "0", "--box", "0", "--data", m_dir.file("platform"),
             "--channel", "http://127.0.0.1:" + std::to_string(m_port)}))
            << m_platform.Failure();
        m_web = m_platform.Url("web");
        ASSERT_TRUE(m_downloader.Start(
            "QorvaneService",
            {"--port", "0", "--data", m_dir.file("downloader"), "--report-channel", "none"}))
            << m_downloader.Failure();
        m_pageEvents = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        m_officeBefore = PidsOfProgram(kOffice);
    }
    void StartOfficeClient(std::map<std::string, std::string> env = {}) {
        const std::string downloader = m_downloader.Url("downloader");
        env["QORVANE_DOWNLOADER_PORT"] = downloader.substr(downloader.rfind(':') + 1);
        ASSERT_TRUE(StartClient(m_client, m_dir, m_port, env)) << m_client.Output();
    }
    void TearDown() override {
        X11Session::Screenshot("officecontainer-end");
        if (m_client.Running()) {
            Exam("StopExam");
            EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
        }
        for (int pid : OurOffices()) {
            kill(pid, SIGKILL);
        }
    }

    std::string Exam(const std::string& method, const std::string& extra = "") {
        return CallChannel(m_port, "/EXAMREQUEST.KIVO", method, extra);
    }
    void StartLockedExam() {
        const std::string url =
            m_web + "/exam.html?channel=http://127.0.0.1:" + std::to_string(m_port);
        ASSERT_EQ(Exam("StartExam", "&RequestArgs=" +
                                        HttpFetch::Encode("[{\"userUid\":\"u1\",\"examUid\":\"e1\","
                                                          "\"domainUrl\":\"" +
                                                          url + "\",\"isTop\":\"true\"}]")),
                  JsonpOk());
        ASSERT_TRUE(X11Session::WaitForWindow(kExamTitle));
    }
    std::string DocumentPath(const std::string& question, const std::string& type) {
        return m_dir.file("data") + "/UserQuestion/u1/g1/" + question + "." + type;
    }
    // The question's document as the exam page left it before the question.
    void PlaceDocument(const std::string& question, const std::string& type,
                       const std::string& bytes = "") {
        std::filesystem::create_directories(m_dir.file("data/UserQuestion/u1/g1"));
        if (bytes.empty()) {
            std::filesystem::copy_file(Fixture("blank." + type), DocumentPath(question, type));
        } else {
            std::ofstream(DocumentPath(question, type)) << bytes;
        }
    }
    std::string UploadedPath(const std::string& question, const std::string& type) {
        return m_dir.file("platform/fileservice/answers/u1_e1_" + question + "." + type);
    }
    std::string Question(const std::string& question, const std::string& type) {
        const std::string answer = m_web + "/fileservice/download?file=answers/u1_e1_" + question +
                                   "." + type + "&InputStream=1";
        const std::string args =
            "[{\"userUid\":\"u1\",\"domainUrl\":\"" + HttpFetch::Encode(answer) +
            "\",\"examUid\":\"e1\",\"examGradeUid\":\"g1\",\"examQuestionUid\":\"" + question +
            "\",\"examQuestionType\":\"" + type + "\",\"examQuestionContent\":\"" +
            HttpFetch::Encode(m_web + "/question.html?q=" + question) + "\",\"isTop\":\"true\"}]";
        return Exam("StartExamQuestion", "&RequestArgs=" + HttpFetch::Encode(args));
    }
    // The office of this test's containers: started after SetUp, and not the
    // learner's own.
    std::vector<int> OurOffices(int except = 0) {
        std::vector<int> ours;
        for (int pid : PidsOfProgram(kOffice)) {
            if (pid != except && std::find(m_officeBefore.begin(), m_officeBefore.end(), pid) ==
                                     m_officeBefore.end()) {
                ours.push_back(pid);
            }
        }
        return ours;
    }
    bool WaitOurOfficesGone(int except) {
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            if (OurOffices(except).empty()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    std::string TreeOf(unsigned long window) {
        char id[32];
        snprintf(id, sizeof(id), "0x%lx", window);
        return X11Session::Run({"xwininfo", "-tree", "-id", id});
    }
    std::string ExamTree() {
        auto exam = X11Session::FindWindow(kExamTitle);
        return exam ? TreeOf(exam->id) : std::string();
    }
    bool WaitTreeHolds(const std::string& part) {
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            if (ExamTree().find(part) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    // The container's window in the exam window below the 200-pixel bar.
    bool WaitEmbeddedBelowTheBar() {
        return WaitTreeHolds("\"Qorvane\": (\"" + kContainer + "\" \"" + kContainer +
                             "\")  1280x824+0+200");
    }
    // The embedded container's window is mapped (the learner sees it).
    bool WaitContainerShown() {
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            const std::string tree = ExamTree();
            const size_t name = tree.find("(\"" + kContainer + "\"");
            const size_t id = name == std::string::npos ? name : tree.rfind("0x", name);
            if (id != std::string::npos &&
                X11Session::IsViewable(std::stoul(tree.substr(id), nullptr, 16))) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    static void Click(int x, int y) {
        X11Session::Run(
            {"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
    }
    // Over the document, so that the exam passes the keys on to it.
    static void PointAtTheDocument() {
        X11Session::Run({"xdotool", "mousemove", "640", "700"});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    static void Type(const std::vector<std::string>& steps) {
        for (const std::string& step : steps) {
            if (step.rfind("key:", 0) == 0) {
                X11Session::Run({"xdotool", "key", "--delay", "80", step.substr(4)});
            } else {
                X11Session::Run({"xdotool", "type", "--delay", "80", step});
            }
        }
    }
    bool ConfirmMessageBox() {
        auto box = X11Session::WaitForWindowOfPid(m_client.Pid(), 340, 130, kWaitMs);
        return box && X11Session::ClickInWindow(*box, kBoxOkX, kBoxOkY);
    }
    bool WaitAnswerFor(const std::string& question, const std::string& type) {
        return m_pageEvents->WaitFor(
            [&](const Json::Value& entry) {
                if (entry["path"].asString() != "/demo/event" ||
                    entry["query"]["fn"].asString() != "SetExamUserAnswerForOneContent") {
                    return false;
                }
                Json::Value args;
                Json::Reader().parse(entry["query"]["args"].asString(), args);
                return args[0].asString() == question &&
                       args[1].asString() ==
                           "fileservice/download?file=answers/u1_e1_" + question + "." + type;
            },
            kWaitMs);
    }
    // Saves with btn_save and waits for the upload and the page's answer;
    // the part of the uploaded file asked for.
    std::string SaveAndUpload(const std::string& question, const std::string& type,
                              const std::string& part) {
        Click(kSaveX, kButtonY);
        EXPECT_TRUE(WaitAnswerFor(question, type)) << m_client.Output();
        EXPECT_TRUE(ConfirmMessageBox());  // "STR_UPLOAD_SUCCESS"
        return X11Session::Run({"unzip", "-p", UploadedPath(question, type), part});
    }
    bool WaitContainerGone() { return WaitNoProcessNamed(kContainer, 0, kWaitMs); }
    void OpenQuestion(const std::string& question, const std::string& type) {
        ASSERT_EQ(Question(question, type), JsonpOk());
        ASSERT_TRUE(WaitEmbeddedBelowTheBar()) << ExamTree();
    }
    bool WaitOpened(int count = 1) {
        const std::string line = "office container: document open";
        for (int waited = 0; waited < kOfficeWaitMs; waited += X11Session::kPollMs) {
            const std::string output = m_client.Output();
            int seen = 0;
            for (size_t at = output.find(line); at != std::string::npos;
                 at = output.find(line, at + 1)) {
                ++seen;
            }
            if (seen >= count) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }

    // The learner's own LibreOffice, up and listening on a pipe (its first
    // start with a new profile ends at once asking to be started again).
    std::unique_ptr<ChildProcess> StartLearnersOffice() {
        const std::string pipe = "learner_" + std::to_string(getpid());
        const std::string listening = "/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_" + pipe;
        auto office = std::make_unique<ChildProcess>();
        for (int waited = 0; waited < kOfficeWaitMs; waited += X11Session::kPollMs) {
            if (!office->Running()) {
                office = std::make_unique<ChildProcess>();
                if (!office->Start(
                        {kOfficeDir + "/" + kOffice,
                         "-env:UserInstallation=file://" + m_dir.file("own-profile"), "--headless",
                         "--norestore", "--nologo", "--accept=pipe,name=" + pipe + ";urp;"},
                        {})) {
                    return nullptr;
                }
            }
            if (std::filesystem::exists(listening)) {
                return office;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return nullptr;
    }

    TempDir m_dir;
    int m_port = 0;
    StandinProcess m_platform;
    StandinProcess m_downloader;
    std::string m_web;
    std::unique_ptr<JournalWatch> m_pageEvents;
    ChildProcess m_client;
    std::vector<int> m_officeBefore;
};

TEST_F(OfficeContainerGui, WordQuestionIsTypedSavedAndUploadedInALockedExam) {
    std::unique_ptr<ChildProcess> ownOffice = StartLearnersOffice();
    ASSERT_TRUE(ownOffice);
    StartOfficeClient();
    StartLockedExam();
    PlaceDocument("q1", "docx");
    OpenQuestion("q1", "docx");
    ASSERT_TRUE(WaitOpened()) << m_client.Output();
    // LibreOffice's frame lives inside the container's window, on the screen.
    EXPECT_NE(ExamTree().find("1280x824+0+0"), std::string::npos) << ExamTree();
    EXPECT_TRUE(WaitContainerShown()) << ExamTree();
    X11Session::Screenshot("word-question-open");

    // Keys, shortcuts included, reach the document while the exam holds the
    // keyboard.
    PointAtTheDocument();
    Type({"Hello exam", "key:Return", "oops", "key:ctrl+z", "key:ctrl+b", "strong"});
    // A dialog of the office gets the keys while it is up: Insert Table, and
    // Return inserts it.
    Type({"key:ctrl+F12"});
    std::this_thread::sleep_for(std::chrono::seconds(3));
    Type({"key:Return"});
    X11Session::Screenshot("word-question-typed");
    const std::string body = SaveAndUpload("q1", "docx", "word/document.xml");
    EXPECT_NE(body.find("Hello exam"), std::string::npos) << body;
    EXPECT_NE(body.find("strong"), std::string::npos) << body;
    EXPECT_EQ(body.find("oops"), std::string::npos) << body;  // undone
    EXPECT_NE(body.find("<w:b/>"), std::string::npos) << body;
    EXPECT_NE(body.find("<w:tbl>"), std::string::npos) << body;

    // The window closed after the upload: the container and its office are
    // gone, its profile too; the learner's own office runs on.
    EXPECT_TRUE(WaitContainerGone());
    EXPECT_TRUE(WaitOurOfficesGone(ownOffice->Pid()));
    EXPECT_TRUE(ownOffice->Running());
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.file("home/.cache/qorvane/office"), error) ||
                error);
    ownOffice->Stop(9);
}

TEST_F(OfficeContainerGui, SpreadsheetAndPresentationQuestionsSaveInTheirOwnFormats) {
    StartOfficeClient();
    StartLockedExam();
    PlaceDocument("q2", "xlsx");
    OpenQuestion("q2", "xlsx");
    ASSERT_TRUE(WaitOpened()) << m_client.Output();
    // Into whichever cell the click selects.
    Click(640, 700);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Type({"42", "key:Return"});
    X11Session::Screenshot("spreadsheet-question-typed");
    const std::string sheet = SaveAndUpload("q2", "xlsx", "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<v>42</v>"), std::string::npos) << sheet;
    ASSERT_TRUE(WaitContainerGone());

    PlaceDocument("q3", "pptx");
    OpenQuestion("q3", "pptx");
    ASSERT_TRUE(WaitOpened(2)) << m_client.Output();
    X11Session::Screenshot("presentation-question-open");
    const std::string presentation = SaveAndUpload("q3", "pptx", "ppt/presentation.xml");
    EXPECT_NE(presentation.find("<p:presentation"), std::string::npos) << presentation;
    EXPECT_TRUE(WaitContainerGone());
    EXPECT_TRUE(WaitOurOfficesGone(0));
}

TEST_F(OfficeContainerGui, CourseDocumentOpensInTheCourseView) {
    StartOfficeClient();
    const std::string args = "[{\"userUid\":\"u1\",\"domainUrl\":\"" + HttpFetch::Encode(m_web) +
                             "\",\"courseUrl\":\"" + m_web +
                             "/course/blank.docx\",\"Name\":\"课程文档\",\"courseHash\":\"h1\","
                             "\"courseType\":\"docx\",\"isTop\":\"false\"}]";
    ASSERT_EQ(CallChannel(m_port, "/COURSEMANAGERREQUEST.KIVO", "StartViewCourse",
                          "&RequestArgs=" + HttpFetch::Encode(args)),
              JsonpOk());
    auto window = X11Session::WaitForWindow("课程文档");
    ASSERT_TRUE(window) << m_client.Output();
    ASSERT_TRUE(WaitOpened()) << m_client.Output();
    EXPECT_NE(TreeOf(window->id).find(kContainer), std::string::npos);
    X11Session::Screenshot("course-document-open");
    Click(kSaveX, kButtonY);  // the course view's btn_close sits where btn_save does
    EXPECT_TRUE(X11Session::WaitForWindowGone("课程文档"));
    EXPECT_TRUE(WaitContainerGone());
    EXPECT_TRUE(WaitOurOfficesGone(0));
}

TEST_F(OfficeContainerGui, ACorruptDocumentOrAnOfficeThatDiesIsShownAndTheClientGoesOn) {
    StartOfficeClient();
    StartLockedExam();
    PlaceDocument("q4", "docx", "PK\x03\x04 this is no document");
    OpenQuestion("q4", "docx");
    EXPECT_TRUE(m_client.WaitForOutput("LibreOffice cannot open the document", kOfficeWaitMs))
        << m_client.Output();
    X11Session::Screenshot("corrupt-document");
    EXPECT_NE(Exam("CheckExamStatus").find("\"examStatus\":\"1\""), std::string::npos);
    Click(kCloseX, kButtonY);
    EXPECT_TRUE(WaitContainerGone());
    EXPECT_TRUE(WaitOurOfficesGone(0));

    PlaceDocument("q5", "docx");
    OpenQuestion("q5", "docx");
    ASSERT_TRUE(WaitOpened()) << m_client.Output();
    for (int pid : OurOffices()) {
        kill(pid, SIGKILL);
    }
    EXPECT_TRUE(m_client.WaitForOutput("LibreOffice ended", kWaitMs)) << m_client.Output();
    EXPECT_TRUE(WaitEmbeddedBelowTheBar());  // the container stays, with its message
    X11Session::Screenshot("office-ended");
    EXPECT_NE(Exam("CheckExamStatus").find("\"examStatus\":\"1\""), std::string::npos);
    Click(kCloseX, kButtonY);
    EXPECT_TRUE(WaitContainerGone());
}

TEST_F(OfficeContainerGui, WithoutLibreOfficeTheContainerSaysSo) {
    std::filesystem::create_directories(m_dir.file("no-office"));
    StartOfficeClient({{"QORVANE_OFFICE_DIR", m_dir.file("no-office")}, {"PATH", "/usr/bin:/bin"}});
    StartLockedExam();
    PlaceDocument("q6", "docx");
    OpenQuestion("q6", "docx");
    EXPECT_TRUE(m_client.WaitForOutput("LibreOffice is not installed", kWaitMs))
        << m_client.Output();
    X11Session::Screenshot("no-office");
    EXPECT_TRUE(OurOffices().empty());
    Click(kCloseX, kButtonY);
    EXPECT_TRUE(WaitContainerGone());
    EXPECT_NE(Exam("CheckExamStatus").find("\"examStatus\":\"1\""), std::string::npos);
}

}  // namespace
