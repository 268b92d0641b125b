// Starting, waiting for and ending programs by name, on real processes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include <filesystem>

#include "platform/process/Processes.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

ChildHandle StartSleeper(const std::string& program) {
    SpawnOptions options;
    options.argv = {program, "60"};
    options.nullStdio = true;
    return ChildHandle::Spawn(options);
}

}  // namespace

TEST(Processes, EndingByPathMatchesExactlyAndStopsAfterOneKillPerPath) {
    TempDir dir;
    TempDir elsewhere;
    const std::string name = "qv-victim";
    fs::copy_file("/bin/sleep", dir.file(name));
    fs::copy_file("/bin/sleep", dir.file(name + "x"));
    fs::copy_file("/bin/sleep", elsewhere.file(name));

    // Spawn returns once the program runs, so the scan sees its image.
    ChildHandle first = StartSleeper(dir.file(name));
    ChildHandle second = StartSleeper(dir.file(name));
    ChildHandle longer = StartSleeper(dir.file(name + "x"));
    ChildHandle sameName = StartSleeper(elsewhere.file(name));
    ASSERT_TRUE(first.Valid() && second.Valid() && longer.Valid() && sameName.Valid());
    EXPECT_EQ(ProcessExecutableName(first.Pid()), name);
    EXPECT_EQ(ProcessExecutablePath(first.Pid()), dir.file(name));

    EXPECT_EQ(TerminateProcessesByPath({dir.file(name)}), 1);
    const bool firstEnded = first.Wait(5000);
    const bool secondEnded = second.Wait(firstEnded ? 200 : 5000);
    EXPECT_NE(firstEnded, secondEnded);
    EXPECT_FALSE(longer.Wait(0));

    EXPECT_EQ(TerminateProcessesByPath({dir.file(name), dir.file(name + "x")}), 2);
    EXPECT_TRUE((firstEnded ? second : first).Wait(5000));
    EXPECT_TRUE(longer.Wait(5000));
    EXPECT_TRUE(WIFSIGNALED(longer.Status()));
    // The program of the same name in another folder is not ours.
    EXPECT_FALSE(sameName.Wait(0));
    sameName.Terminate();
    EXPECT_EQ(TerminateProcessesByPath({}), 0);
}

TEST(Processes, WaitEndsWithTheProcessOrWithTheWakeDescriptor) {
    SpawnOptions quick;
    quick.argv = {"/bin/sh", "-c", "exit 7"};
    ChildHandle child = ChildHandle::Spawn(quick);
    ASSERT_TRUE(child.Wait(5000));
    EXPECT_EQ(WEXITSTATUS(child.Status()), 7);

    ChildHandle sleeper = StartSleeper("/bin/sleep");
    int wake = eventfd(1, EFD_CLOEXEC);
    EXPECT_FALSE(sleeper.Wait(-1, wake));
    EXPECT_FALSE(sleeper.Wait(10));
    sleeper.Terminate();
    EXPECT_TRUE(sleeper.Wait(0));
    close(wake);

    SpawnOptions missing;
    missing.argv = {"/nonexistent/program"};
    // A program that cannot run is no process at all, and says why.
    int error = 0;
    ChildHandle failed = ChildHandle::Spawn(missing, &error);
    EXPECT_FALSE(failed.Valid());
    EXPECT_EQ(error, ENOENT);
    missing.argv = {"/bin/true"};
    missing.workingDirectory = "/nonexistent";
    EXPECT_FALSE(ChildHandle::Spawn(missing, &error).Valid());
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(RunProgram({"/nonexistent/program"}, 5000), -1);
    EXPECT_EQ(RunProgram({"true"}, 5000), 0);
}
