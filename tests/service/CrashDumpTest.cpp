// The crash filter in a real crashing process, its dump opened by lldb.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCrashLimitMs = 30000;

struct CrashRun {
    int status = -1;
    std::string output;
};

// Runs a copy of the crash child from folder so that its dump lands there.
CrashRun Crash(const TempDir& folder, const std::string& mode,
               const std::map<std::string, std::string>& env = {}) {
    const std::string program = folder.file("crash-child");
    if (!fs::exists(program)) {
        fs::copy_file(QORVANE_BIN_DIR "/crash-child", program);
    }
    ChildProcess child;
    CrashRun run;
    if (!child.Start({program, mode}, env)) {
        return run;
    }
    run.status = child.Wait(kCrashLimitMs);
    run.output = child.Output();
    return run;
}

std::string Lldb(const std::string& dump) {
    return RunCommand("lldb --batch --no-lldbinit -c '" + dump + "' -o 'thread list' -o 'bt' 2>&1");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(CrashDump, SegfaultLeavesDumpThatLldbOpensAtTheCrashingFunction) {
    ASSERT_TRUE(HaveProgram("lldb"));
    TempDir folder;
    CrashRun run = Crash(folder, "segv");
    ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
    EXPECT_EQ(WEXITSTATUS(run.status), SIGSEGV);
    const std::string dump = folder.file("Exception.dmp");
    ASSERT_TRUE(fs::exists(dump));
    EXPECT_EQ(ReadFile(dump).substr(0, 4), "MDMP");

    std::string shown = Lldb(dump);
    EXPECT_NE(shown.find("stop reason = signal SIGSEGV"), std::string::npos) << shown;
    EXPECT_NE(shown.find("CrashNow"), std::string::npos) << shown;
    EXPECT_NE(shown.find("main"), std::string::npos) << shown;
}

TEST(CrashDump, AbortAndCrashesInOtherThreadsAreCaughtToo) {
    TempDir folder;
    CrashRun aborted = Crash(folder, "abort");
    ASSERT_TRUE(WIFEXITED(aborted.status)) << aborted.output;
    EXPECT_EQ(WEXITSTATUS(aborted.status), SIGABRT);
    std::string shown = Lldb(folder.file("Exception.dmp"));
    EXPECT_NE(shown.find("stop reason = signal SIGABRT"), std::string::npos) << shown;

    CrashRun threaded = Crash(folder, "thread");
    ASSERT_TRUE(WIFEXITED(threaded.status)) << threaded.output;
    EXPECT_EQ(WEXITSTATUS(threaded.status), SIGSEGV);
    shown = Lldb(folder.file("Exception.dmp"));
    EXPECT_NE(shown.find("CrashNow"), std::string::npos) << shown;
}

TEST(CrashDump, StackOverflowStillWritesTheDumpFromTheAlternateStack) {
    TempDir folder;
    CrashRun run = Crash(folder, "overflow");
    ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
    EXPECT_EQ(WEXITSTATUS(run.status), SIGSEGV);
    std::string shown = Lldb(folder.file("Exception.dmp"));
    EXPECT_NE(shown.find("Recurse"), std::string::npos) << shown;
}

TEST(CrashDump, SecondCrashReplacesTheFirstDump) {
    TempDir folder;
    Crash(folder, "segv");
    const std::string dump = folder.file("Exception.dmp");
    ASSERT_TRUE(fs::exists(dump));
    // A bigger leftover must not survive past the new dump's end.
    {
        std::ofstream grow(dump, std::ios::app | std::ios::binary);
        grow << std::string(4 * 1024 * 1024, 'x');
    }
    Crash(folder, "abort");
    std::string shown = Lldb(dump);
    EXPECT_NE(shown.find("SIGABRT"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("SIGSEGV"), std::string::npos) << shown;
    EXPECT_LT(fs::file_size(dump), 4u * 1024 * 1024);
    int dumps = 0;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        dumps += entry.path().extension() == ".dmp";
    }
    EXPECT_EQ(dumps, 1);
}

TEST(CrashDump, UnwritableFolderLeavesNoDumpButTheSignalStatus) {
    TempDir folder;
    fs::copy_file(QORVANE_BIN_DIR "/crash-child", folder.file("crash-child"));
    // As root the folder's mode does not stop us: the child drops to nobody.
    chmod(folder.path().c_str(), 0555);
    CrashRun run = Crash(folder, "segv", {{"CRASH_AS_NOBODY", "1"}});
    chmod(folder.path().c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
    EXPECT_EQ(WEXITSTATUS(run.status), SIGSEGV);
    EXPECT_FALSE(fs::exists(folder.file("Exception.dmp")));
}
