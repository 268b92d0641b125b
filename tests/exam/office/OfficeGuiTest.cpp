// Office questions end to end: the real client in the private X session, the
// stand-in container it starts, the downloader and platform stand-ins, and
// everything checked from outside (the container's own journal, the
// stand-ins' journals, /proc, the X window tree).

#include <gtest/gtest.h>

#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <thread>

#include "foundation/Version.h"
#include "platform/x11/X11Windows.h"
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
const std::string kPaperTitle = "试卷加载提示信息";
constexpr int kWaitMs = 30000;

class OfficeGui : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(X11Session::Attach(&error)) << error;
        m_port = FreeLocalPort();
        const std::string channel = "http://127.0.0.1:" + std::to_string(m_port);
        ASSERT_TRUE(m_platform.Start("PlatformStandin",
                                     {"--web", "0", "--update", "0", "--box", "0", "--data",
                                      m_dir.file("platform"), "--channel", channel}))
            << m_platform.Failure();
        m_web = m_platform.Url("web");
        ASSERT_TRUE(m_downloader.Start(
            "QorvaneService",
            {"--port", "0", "--data", m_dir.file("downloader"), "--report-channel", "none"}))
            << m_downloader.Failure();
        m_pageEvents = std::make_unique<JournalWatch>(m_dir.file("platform/journal.jsonl"));
        m_downloaderJournal =
            std::make_unique<JournalWatch>(m_dir.file("downloader/journal.jsonl"));
    }
    // The client, whose containers take these stand-in options.
    void StartOfficeClient(const std::string& containerOptions = "") {
        const std::string downloader = m_downloader.Url("downloader");
        m_container.emplace(m_dir.file("container.log"));
        m_program = ProgramFolderWithStandinContainer(m_dir);
        ASSERT_FALSE(m_program.empty());
        ASSERT_TRUE(
            StartClient(m_client, m_dir, m_port,
                        {{"QORVANE_DOWNLOADER_PORT", downloader.substr(downloader.rfind(':') + 1)},
                         {"QVOFFICE_STANDIN", containerOptions},
                         {"QVOFFICE_STANDIN_JOURNAL", m_container->Path()}},
                        {}, m_program))
            << m_client.Output();
    }
    void TearDown() override {
        if (!m_client.Running()) {
            return;
        }
        Exam("StopExam");
        X11Session::Screenshot("office-end");
        EXPECT_EQ(m_client.Stop(), 0) << m_client.Output();
    }

    std::string Exam(const std::string& method, const std::string& extra = "") {
        return CallChannel(m_port, "/EXAMREQUEST.KIVO", method, extra);
    }
    std::string StartExam(bool isTop) {
        const std::string url =
            m_web + "/exam.html?channel=http://127.0.0.1:" + std::to_string(m_port);
        return Exam("StartExam",
                    "&RequestArgs=" + HttpFetch::Encode("[{\"userUid\":\"u1\",\"examUid\":\"e1\","
                                                        "\"domainUrl\":\"" +
                                                        url + "\",\"isTop\":\"" +
                                                        (isTop ? "true" : "false") + "\"}]"));
    }
    std::string AnswerUrl(const std::string& question) const {
        return m_web + "/fileservice/download?file=" +
               (m_answerFile.empty() ? "answers/u1_e1_" + question + ".docx" : m_answerFile) +
               "&InputStream=1";
    }
    std::string Question(const std::string& method, const std::string& question,
                         const std::string& type = "docx") {
        const std::string args =
            "[{\"userUid\":\"u1\",\"domainUrl\":\"" + HttpFetch::Encode(AnswerUrl(question)) +
            "\",\"examUid\":\"e1\",\"examGradeUid\":\"g1\",\"examQuestionUid\":\"" + question +
            "\",\"examQuestionType\":\"" + type + "\",\"examQuestionContent\":\"" +
            HttpFetch::Encode(m_web + "/question.html?q=" + question) + "\",\"isTop\":\"true\"}]";
        return Exam(method, "&RequestArgs=" + HttpFetch::Encode(args));
    }
    std::string DocumentPath(const std::string& question) {
        return m_dir.file("data") + "/UserQuestion/u1/g1/" + question + ".docx";
    }

    std::vector<std::string> ContainerLines() { return m_container->Lines(); }
    bool WaitContainerLine(const std::string& prefix, std::string* found = nullptr,
                           int timeoutMs = kWaitMs) {
        return m_container->WaitLine(prefix, found, timeoutMs);
    }
    bool WaitPageEvent(const std::string& fn, std::vector<std::string>& args,
                       int timeoutMs = kWaitMs) {
        return m_pageEvents->WaitFor(
            [&](const Json::Value& entry) {
                if (entry["path"].asString() != "/demo/event" ||
                    entry["query"]["fn"].asString() != fn) {
                    return false;
                }
                Json::Value values;
                Json::Reader().parse(entry["query"]["args"].asString(), values);
                args.clear();
                for (const Json::Value& value : values) {
                    args.push_back(value.asString());
                }
                return true;
            },
            timeoutMs);
    }
    // The window tree below the exam window, as xwininfo prints it.
    std::string ExamTree() {
        auto exam = X11Session::FindWindow(kExamTitle);
        if (!exam) {
            return {};
        }
        char id[32];
        snprintf(id, sizeof(id), "0x%lx", exam->id);
        return X11Session::Run({"xwininfo", "-tree", "-id", id});
    }
    // Clicks OK on the client's message box once it shows.
    bool ConfirmMessageBox() {
        auto box = X11Session::WaitForWindowOfPid(m_client.Pid(), 340, 130, kWaitMs);
        return box && X11Session::ClickInWindow(*box, kBoxOkX, kBoxOkY);
    }

    // A click where the pointer may already be (mousemove --sync would wait
    // for a move that never comes).
    static bool Click(int x, int y) {
        int status = -1;
        X11Session::Run(
            {"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"}, &status);
        return status == 0;
    }
    bool WaitEmbedded() {
        for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
            if (ExamTree().find("QVOfficeContainer2003") != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
        }
        return false;
    }
    static int CountOf(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
    static int CountOf(const std::vector<Json::Value>& entries, const std::string& part) {
        int count = 0;
        for (const Json::Value& entry : entries) {
            count += Json::FastWriter().write(entry).find(part) != std::string::npos ? 1 : 0;
        }
        return count;
    }
    TempDir m_dir;
    std::string m_program;
    std::string m_answerFile;
    int m_port = 0;
    StandinProcess m_platform;
    StandinProcess m_downloader;
    std::string m_web;
    std::unique_ptr<JournalWatch> m_pageEvents;
    std::unique_ptr<JournalWatch> m_downloaderJournal;
    std::optional<ContainerJournal> m_container;
    ChildProcess m_client;
};

TEST_F(OfficeGui, MethodsAnswerBeforeAnExam) {
    StartOfficeClient();
    EXPECT_EQ(Question("StartExamQuestion", "q1"), JsonpFailure("please start exam first!"));
    EXPECT_TRUE(m_client.WaitForOutput("first exam windows not exist", kWaitMs));
    // The answers belong in the body; in RequestArgs they are no answers.
    EXPECT_EQ(Exam("SubmitExamAnswers",
                   "&RequestArgs=" + HttpFetch::Encode(R"([{"userUid":"u1","examUid":"e1"}])")),
              JsonpFailure("error json formart!"));
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=2"), "");
    EXPECT_FALSE(X11Session::FindWindow(kPaperTitle));
    // A question whose name leads out of its folder downloads nothing there.
    m_answerFile = "escape.docx";
    EXPECT_EQ(Question("LookExamQuestion", "../../escaped"), JsonpFailure("error json formart!"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("data/UserQuestion/escaped.docx")));
}

TEST_F(OfficeGui, QuestionIsTypedSavedAndUploadedInALockedExam) {
    StartOfficeClient("spawn-office");
    // The learner's own Office, and a window of another program titled like
    // the container.
    ChildProcess ownOffice;
    ASSERT_TRUE(ownOffice.Start({StandinDir() + "/soffice.bin"}, {}));
    ChildProcess lookalike;
    ASSERT_TRUE(lookalike.Start({StandinDir() + "/QVOfficeContainer2003", "0",
                                 m_dir.file("other.docx"), "0", "0", "300", "200", "0"},
                                {}));
    ASSERT_TRUE(X11Session::WaitForWindow("Qorvane"));
    ASSERT_EQ(StartExam(true), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(kExamTitle));
    ASSERT_EQ(Question("StartExamQuestion", "q1"), JsonpOk());

    std::string started;
    ASSERT_TRUE(WaitContainerLine("started ", &started)) << m_client.Output();
    const int pid = std::stoi(started.substr(8));
    EXPECT_EQ(CommandLineOf(pid),
              (std::vector<std::string>{
                  m_program + "/QVOfficeContainer2003", "1", DocumentPath("q1"), "0", "200",
                  std::to_string(kScreenWidth), std::to_string(kScreenHeight - 200), "0"}));

    // The container's window ends up inside the exam window, below the bar.
    const std::string placed =
        "\"Qorvane\": (\"QVOfficeContainer2003\" \"QVOfficeContainer2003\")  1280x824+0+200";
    std::string tree;
    for (int waited = 0; waited < kWaitMs; waited += X11Session::kPollMs) {
        tree = ExamTree();
        if (tree.find(placed) != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    ASSERT_NE(tree.find(placed), std::string::npos) << tree;
    // The bar above it: its save button where the layout puts it.
    const std::string shot = X11Session::Screenshot("office-embedded");
    EXPECT_NE(X11Session::Run({"convert", shot, "-format",
                               "%[pixel:p{" + std::to_string(kSaveX - 30) + "," +
                                   std::to_string(kButtonY) + "}]",
                               "info:"})
                  .find("(45,108,223)"),
              std::string::npos);

    // Typing reaches the document although the exam holds the keyboard.
    X11Session::Run({"xdotool", "mousemove", "640", "600"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    X11Session::Run({"xdotool", "type", "--delay", "60", "hello"});
    EXPECT_TRUE(WaitContainerLine("text hello")) << testing::PrintToString(ContainerLines());
    // Tab stays swallowed inside the document as on the exam page.
    X11Session::Run({"xdotool", "key", "--delay", "60", "Tab", "x"});
    EXPECT_TRUE(WaitContainerLine("text hellox")) << testing::PrintToString(ContainerLines());
    // Only our own container was adopted.
    EXPECT_EQ(CountOf(ExamTree(), "QVOfficeContainer2003\" \"QVOfficeContainer2003"), 1);
    EXPECT_TRUE(X11Session::WindowsOfPid(lookalike.Pid()).size() > 0);

    ASSERT_TRUE(Click(kSaveX, kButtonY));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Click(kSaveX, kButtonY);  // a second click runs no second save
    EXPECT_TRUE(WaitContainerLine("saved " + DocumentPath("q1")));
    EXPECT_TRUE(m_downloaderJournal->WaitFor(
        [&](const Json::Value& entry) {
            if (entry["query"]["MethodName"].asString() != "SubmitFile") {
                return false;
            }
            Json::Value args;
            Json::Reader().parse(entry["query"]["RequestArgs"].asString(), args);
            return args[0]["LocalPath"].asString() == DocumentPath("q1") &&
                   !args[0]["OriginalUrl"].asString().empty();
        },
        kWaitMs));
    std::vector<std::string> args;
    ASSERT_TRUE(WaitPageEvent("SetExamUserAnswerForOneContent", args));
    EXPECT_EQ(args,
              (std::vector<std::string>{"q1", "fileservice/download?file=answers/u1_e1_q1.docx"}));
    ASSERT_TRUE(ConfirmMessageBox());
    EXPECT_TRUE(WaitContainerLine("closed"));
    int saves = 0;
    for (const std::string& line : ContainerLines()) {
        saves += line.rfind("saved ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(saves, 1);
    // The Office process the container started is ended, the learner's own
    // keeps running.
    EXPECT_TRUE(ownOffice.Running());
    EXPECT_TRUE(WaitNoProcessNamed("soffice.bin", ownOffice.Pid()));
    // AutoDelCache is on: the uploaded document is gone.
    EXPECT_FALSE(std::filesystem::exists(DocumentPath("q1")));
    ownOffice.Stop(9);
    lookalike.Stop(9);
}

TEST_F(OfficeGui, FailedSaveKeepsTheEarlierVersionAndAStuckContainerIsEnded) {
    StartOfficeClient("never-save,refuse-close");
    ASSERT_EQ(StartExam(false), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(kExamTitle));
    std::filesystem::create_directories(m_dir.file("data/UserQuestion/u1/g1"));
    std::ofstream(DocumentPath("q2")) << "earlier";
    ASSERT_EQ(Question("StartExamQuestion", "q2"), JsonpOk());
    ASSERT_TRUE(WaitContainerLine("started "));
    ASSERT_TRUE(WaitEmbedded());

    ASSERT_TRUE(Click(kSaveX, kButtonY));
    EXPECT_TRUE(WaitContainerLine("save-ignored"));
    EXPECT_TRUE(m_client.WaitForOutput("SavaFileToLocal failed", kWaitMs));
    ASSERT_TRUE(ConfirmMessageBox());  // "STR_SAVE_FAIL"
    std::ifstream kept(DocumentPath("q2"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "earlier");
    EXPECT_FALSE(std::filesystem::exists(DocumentPath("q2") + ".bak"));
    EXPECT_EQ(CountOf(m_downloaderJournal->Entries(), "SubmitFile"), 0);

    // Closed without saving: the container refuses and is ended.
    ASSERT_TRUE(Click(kCloseX, kButtonY));
    EXPECT_TRUE(WaitContainerLine("close-refused"));
    EXPECT_TRUE(m_client.WaitForOutput("Terminate OfficeContainer 1", kWaitMs));
    EXPECT_TRUE(WaitNoProcessNamed("QVOfficeContainer2003", 0));
    // A close without saving keeps the learner's document.
    EXPECT_TRUE(std::filesystem::exists(DocumentPath("q2")));
}

TEST_F(OfficeGui, LookingAtAStoredAnswerDownloadsItFirst) {
    StartOfficeClient();
    // Before any exam: the question still opens, in a window of its own.
    ASSERT_EQ(Question("LookExamQuestion", "q3"), JsonpOk());
    EXPECT_TRUE(
        m_client.WaitForOutput("download file [] from [" + AnswerUrl("q3") + "] succ", kWaitMs));
    ASSERT_TRUE(WaitContainerLine("started "));
    EXPECT_TRUE(std::filesystem::file_size(DocumentPath("q3")) > 0);
    EXPECT_FALSE(std::filesystem::exists(DocumentPath("q3") + ".part"));

    // Closing a viewed answer ends the container and, with AutoDelCache on,
    // removes the downloaded document.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(Click(kSaveX, kButtonY));  // btn_close takes save's place
    EXPECT_TRUE(WaitContainerLine("closed"));
    EXPECT_TRUE(WaitNoProcessNamed("QVOfficeContainer2003", 0));
    for (int waited = 0; waited < kWaitMs && std::filesystem::exists(DocumentPath("q3"));
         waited += X11Session::kPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Session::kPollMs));
    }
    EXPECT_FALSE(std::filesystem::exists(DocumentPath("q3")));

    // A stored answer that cannot be fetched: the learner is told, and the
    // page hears back once the notice is gone.
    m_answerFile = "../outside.docx";  // refused by the file service
    auto answer =
        std::async(std::launch::async, [&] { return Question("LookExamQuestion", "q4"); });
    EXPECT_TRUE(m_client.WaitForOutput("failed errdesc [0:400]", kWaitMs)) << m_client.Output();
    EXPECT_TRUE(ConfirmMessageBox());  // "STR_LOADANSWER_FAIL"
    EXPECT_EQ(answer.get(), JsonpOk());
    EXPECT_FALSE(std::filesystem::exists(DocumentPath("q4")));
}

TEST_F(OfficeGui, OtherQuestionPassesThePageScoreAfterTheClickGuard) {
    StartOfficeClient();
    ASSERT_EQ(StartExam(true), JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(kExamTitle));
    ASSERT_EQ(Question("StartExamQuestion", "q5", "choice"), JsonpOk());
    std::vector<std::string> args;
    // Within 3 seconds of opening a click does nothing.
    ASSERT_TRUE(Click(kSaveX, kButtonY));
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(CountOf(m_pageEvents->Entries(), "SetJudgeScoreForOneQuestion"), 0);
    ASSERT_TRUE(Click(kSaveX, kButtonY));
    ASSERT_TRUE(WaitPageEvent("SetJudgeScoreForOneQuestion", args));
    EXPECT_EQ(args, (std::vector<std::string>{"q5", "8"}));
    EXPECT_TRUE(ContainerLines().empty());  // no container for such a question
}

TEST_F(OfficeGui, PaperLoadingSwitchesToTheOriginalChannelAfter15Seconds) {
    StartOfficeClient();
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=0"), "");
    ASSERT_TRUE(X11Session::WaitForWindow(kPaperTitle));
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=7"), "");
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=-1"), "");
    X11Session::Screenshot("paper-speedup-failed");
    EXPECT_TRUE(X11Session::WaitForWindowGone(kPaperTitle, kWaitMs));
    EXPECT_TRUE(m_downloaderJournal->WaitFor(
        [](const Json::Value& entry) {
            return entry["query"]["MethodName"].asString() == "RestartExam" &&
                   entry["query"]["Channel"].asString() == "0";
        },
        kWaitMs));
}

TEST_F(OfficeGui, PaperLoadingClosesWithTheExamPageOrEndsTheExam) {
    StartOfficeClient();
    // Status 3 from the exam start, 4 from the loaded exam page: closed.
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=0"), "");
    ASSERT_TRUE(X11Session::WaitForWindow(kPaperTitle));
    ASSERT_EQ(StartExam(false), JsonpOk());
    EXPECT_TRUE(X11Session::WaitForWindowGone(kPaperTitle, kWaitMs));
    ASSERT_TRUE(m_client.WaitForOutput("Status=4", kWaitMs));
    Exam("StopExam");

    // The original channel failed too; the learner gives up the exam.
    const std::string page =
        m_web + "/question.html?q=none&channel=http://127.0.0.1:" + std::to_string(m_port);
    ASSERT_EQ(Exam("StartExam", "&RequestArgs=" + HttpFetch::Encode("[{\"domainUrl\":\"" + page +
                                                                    "\",\"isTop\":\"true\"}]")),
              JsonpOk());
    ASSERT_TRUE(X11Session::WaitForWindow(kExamTitle));
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=0"), "");
    auto paper = X11Session::WaitForWindow(kPaperTitle);
    ASSERT_TRUE(paper);
    EXPECT_EQ(Exam("UpdatePaperDownloadStatus", "&Status=-2"), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // btn_exit_exam is the grey one of the two buttons shown.
    const std::string shot = X11Session::Screenshot("paper-failed", paper->id);
    std::string pixels =
        X11Session::Run({"sh", "-c", "convert '" + shot + "' txt:- | grep -m1 -i '#9AA5B5'"});
    int x = 0, y = 0;
    ASSERT_EQ(sscanf(pixels.c_str(), "%d,%d", &x, &y), 2) << pixels;
    ASSERT_TRUE(X11Session::ClickInWindow(paper->id, x + 4, y + 4));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kPaperTitle, kWaitMs));
    EXPECT_TRUE(X11Session::WaitForWindowGone(kExamTitle, kWaitMs));
    EXPECT_EQ(Exam("CheckExamStatus"),
              "cb({\"errorCode\":\"0\",\"errorMsg\":\"ok\",\"isSuccess\":\"true\",\"result\":[{"
              "\"examStatus\":\"2\"}],\"version\":\"" +
                  std::string(kClientVersion) + "\"})");
}

}  // namespace
