#include "platform/instance/SingleInstance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/TempDir.h"

namespace {

// Points XDG_RUNTIME_DIR at a folder of the test for its lifetime.
class RuntimeDir {
public:
    explicit RuntimeDir(const char* value) {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_had = old != nullptr;
        m_old = old ? old : "";
        if (value) {
            setenv("XDG_RUNTIME_DIR", value, 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    ~RuntimeDir() {
        if (m_had) {
            setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    bool m_had = false;
    std::string m_old;
};

// A second process that takes the lock, tells the parent through a pipe,
// then waits until the parent closes the pipe or kills it.
struct Holder {
    pid_t pid = -1;
    int fromChild = -1;
    int toChild = -1;
};

Holder StartHolder(const std::string& name) {
    int up[2];
    int down[2];
    if (pipe(up) != 0 || pipe(down) != 0) {
        return {};
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(up[0]);
        close(down[1]);
        SingleInstance instance;
        char state = '?';
        switch (instance.Acquire(name)) {
            case SingleInstance::Result::Held: state = 'H'; break;
            case SingleInstance::Result::HeldElsewhere: state = 'E'; break;
            case SingleInstance::Result::Failed: state = 'F'; break;
        }
        if (write(up[1], &state, 1) != 1) {
            _exit(2);
        }
        char ignored;
        while (read(down[0], &ignored, 1) > 0) {
        }
        _exit(0);
    }
    close(up[1]);
    close(down[0]);
    return {pid, up[0], down[1]};
}

char ReadState(const Holder& holder) {
    char state = 0;
    return read(holder.fromChild, &state, 1) == 1 ? state : 0;
}

int Finish(Holder& holder, bool crash) {
    if (crash) {
        kill(holder.pid, SIGKILL);
    }
    close(holder.toChild);
    close(holder.fromChild);
    int status = 0;
    waitpid(holder.pid, &status, 0);
    return status;
}

}  // namespace

TEST(SingleInstance, SecondProcessSeesTheLockHeldUntilTheFirstEnds) {
    TempDir dir;
    RuntimeDir runtime(dir.path().c_str());

    Holder first = StartHolder("Kivo_Qorvane");
    ASSERT_EQ(ReadState(first), 'H');

    SingleInstance second;
    EXPECT_EQ(second.Acquire("Kivo_Qorvane"), SingleInstance::Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());
    // Another name is another lock.
    SingleInstance other;
    EXPECT_EQ(other.Acquire("Other_Name"), SingleInstance::Result::Held);

    // A crashed holder leaves the file behind but not the lock.
    Finish(first, true);
    EXPECT_EQ(second.Acquire("Kivo_Qorvane"), SingleInstance::Result::Held);
    EXPECT_EQ(second.Acquire("Kivo_Qorvane"), SingleInstance::Result::Held);  // repeat is harmless

    Holder third = StartHolder("Kivo_Qorvane");
    EXPECT_EQ(ReadState(third), 'E');
    Finish(third, false);

    second.Release();
    Holder fourth = StartHolder("Kivo_Qorvane");
    EXPECT_EQ(ReadState(fourth), 'H');
    Finish(fourth, false);
}

TEST(SingleInstance, LockIsNotInheritedByStartedPrograms) {
    TempDir dir;
    RuntimeDir runtime(dir.path().c_str());
    SingleInstance instance;
    ASSERT_EQ(instance.Acquire("Kivo_Qorvane"), SingleInstance::Result::Held);
    // A program started by the holder keeps running after the holder lets go;
    // it must not keep the lock.
    // The pipe closes when the exec has happened (it is close-on-exec too).
    int execDone[2];
    ASSERT_EQ(pipe2(execDone, O_CLOEXEC), 0);
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(execDone[1]);
    char ignored;
    EXPECT_EQ(read(execDone[0], &ignored, 1), 0);
    close(execDone[0]);
    instance.Release();
    SingleInstance next;
    EXPECT_EQ(next.Acquire("Kivo_Qorvane"), SingleInstance::Result::Held);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

TEST(SingleInstance, FallsBackToPrivateTmpFolder) {
    RuntimeDir runtime(nullptr);
    const std::string expected = "/tmp/" + std::to_string(geteuid());
    EXPECT_EQ(SingleInstance::LockDirectory(), expected);
    struct stat st {};
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 077, 0u);

    const std::string name = "qv-test-" + std::to_string(getpid());
    SingleInstance one;
    ASSERT_EQ(one.Acquire(name), SingleInstance::Result::Held);
    Holder two = StartHolder(name);
    EXPECT_EQ(ReadState(two), 'E');
    Finish(two, false);
    one.Release();
    unlink((expected + "/" + name + ".lock").c_str());
}

TEST(SingleInstance, RejectsNamesThatAreNotPlainFileNames) {
    TempDir dir;
    RuntimeDir runtime(dir.path().c_str());
    SingleInstance instance;
    EXPECT_EQ(instance.Acquire(""), SingleInstance::Result::Failed);
    EXPECT_EQ(instance.Acquire("../escape"), SingleInstance::Result::Failed);
    EXPECT_EQ(instance.Acquire(".."), SingleInstance::Result::Failed);
}
