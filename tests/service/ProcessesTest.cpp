// Starting, waiting for and ending programs by name, on real processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(Processes, EndingByNameMatchesExactlyAndStopsAfterOneKillPerName) {
    TempDir dir;
    // Names unique to this test run, so that nothing else is hit.
    const std::string name = "qv-victim-" + std::to_string(getpid());
    fs::copy_file("/bin/sleep", dir.file(name));
    fs::copy_file("/bin/sleep", dir.file(name + "x"));
    fs::copy_file("/bin/sleep", dir.file("QV-VICTIM-" + std::to_string(getpid())));

    ChildHandle first = StartSleeper(dir.file(name));
    ChildHandle second = StartSleeper(dir.file(name));
    ChildHandle longer = StartSleeper(dir.file(name + "x"));
    ChildHandle upper = StartSleeper(dir.file("QV-VICTIM-" + std::to_string(getpid())));
    ASSERT_TRUE(first.Valid() && second.Valid() && longer.Valid() && upper.Valid());
    // Each must have replaced its image before the scan looks at it.
    constexpr int kExecChecks = 5000;
    for (ChildHandle* child : {&first, &second, &longer, &upper}) {
        for (int check = 0; check < kExecChecks; ++check) {
            const std::string current = ProcessExecutableName(child->Pid());
            if (!current.empty() && current != "service_unit_tests") {
                break;
            }
            usleep(1000);
        }
    }

    EXPECT_EQ(TerminateProcessesByName({name}), 1);
    const bool firstEnded = first.Wait(5000);
    const bool secondEnded = second.Wait(firstEnded ? 200 : 5000);
    EXPECT_NE(firstEnded, secondEnded);
    EXPECT_FALSE(longer.Wait(0));
    EXPECT_FALSE(upper.Wait(0));

    EXPECT_EQ(TerminateProcessesByName({name, name + "x"}), 2);
    EXPECT_TRUE((firstEnded ? second : first).Wait(5000));
    EXPECT_TRUE(longer.Wait(5000));
    EXPECT_TRUE(WIFSIGNALED(longer.Status()));
    EXPECT_FALSE(upper.Wait(0));
    upper.Terminate();
    EXPECT_EQ(TerminateProcessesByName({}), 0);
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
    ChildHandle failed = ChildHandle::Spawn(missing);
    ASSERT_TRUE(failed.Wait(5000));
    EXPECT_EQ(WEXITSTATUS(failed.Status()), 127);
    EXPECT_EQ(RunProgram({"/nonexistent/program"}, 5000), 127);
    EXPECT_EQ(RunProgram({"true"}, 5000), 0);
}
