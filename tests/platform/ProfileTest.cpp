#include "platform/profile/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

TEST(Profile, MissingFileSectionOrKeyReadsAsDefault) {
    TempDir dir;
    const std::string path = dir.file("ClientArgs.ini");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "AutoCache", "1", path), "1");
    EXPECT_EQ(ProfileReadInt("CLIENTSET", "BrowserEmulation", 7, path), 7);

    WriteWholeFile(path, "[OTHER]\nAutoCache=0\n[CLIENTSET]\nKey=2\n");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "AutoCache", "dflt", path), "dflt");
    EXPECT_EQ(ProfileReadString("NOSUCH", "Key", "dflt", path), "dflt");
    EXPECT_EQ(ProfileReadInt("CLIENTSET", "Missing", -5, path), -5);
}

TEST(Profile, NamesIgnoreCaseAndValuesAreTrimmed) {
    TempDir dir;
    const std::string path = dir.file("a.ini");
    WriteWholeFile(path,
                   "; settings\r\n"
                   "  [ ClientSet ]  \r\n"
                   "  autocache  =   yes please \t\r\n"
                   "Quoted = \"  spaced  \"\r\n"
                   "Half = \"open\r\n"
                   "Empty=\r\n"
                   "[clientset]\r\n"
                   "Late=second section is ignored\r\n");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "AUTOCACHE", "", path), "yes please");
    EXPECT_EQ(ProfileReadString("clientset", "quoted", "", path), "  spaced  ");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "Half", "", path), "\"open");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "Empty", "dflt", path), "");
    EXPECT_EQ(ProfileReadString("CLIENTSET", "Late", "dflt", path), "dflt");
}

TEST(Profile, IntegersTakeLeadingDigits) {
    TempDir dir;
    const std::string path = dir.file("v.ini");
    WriteWholeFile(path,
                   "[S]\nplain=11001\ntrail=42abc\nword=abc\nneg=-3\nhex=0x1F\n"
                   "huge=99999999999999\nnhuge=-99999999999999\nempty=\n");
    EXPECT_EQ(ProfileReadInt("S", "plain", 0, path), 11001);
    EXPECT_EQ(ProfileReadInt("S", "trail", 0, path), 42);
    EXPECT_EQ(ProfileReadInt("S", "word", 9, path), 0);
    EXPECT_EQ(ProfileReadInt("S", "neg", 0, path), -3);
    EXPECT_EQ(ProfileReadInt("S", "hex", 0, path), 31);
    EXPECT_EQ(ProfileReadInt("S", "huge", 0, path), 2147483647);
    EXPECT_EQ(ProfileReadInt("S", "nhuge", 0, path), -2147483647 - 1);
    // An empty value counts as missing for integers.
    EXPECT_EQ(ProfileReadInt("S", "empty", 9, path), 9);
}

TEST(Profile, WriteCreatesFileSectionAndKey) {
    TempDir dir;
    const std::string path = dir.file("new.ini");
    ASSERT_TRUE(ProfileWriteString("CLIENTSET", "BrowserEmulation", "11001", path));
    EXPECT_EQ(ReadWholeFile(path), "[CLIENTSET]\nBrowserEmulation=11001\n");
    ASSERT_TRUE(ProfileWriteString("CLIENTSET", "AutoCache", "0", path));
    ASSERT_TRUE(ProfileWriteString("OTHER", "x", "y", path));
    EXPECT_EQ(ReadWholeFile(path),
              "[CLIENTSET]\nBrowserEmulation=11001\nAutoCache=0\n\n[OTHER]\nx=y\n");
    EXPECT_EQ(ProfileReadInt("clientset", "browseremulation", 0, path), 11001);
}

TEST(Profile, WriteKeepsCommentsOrderAndLineEndings) {
    TempDir dir;
    const std::string path = dir.file("keep.ini");
    WriteWholeFile(path,
                   "\xEF\xBB\xBF; top comment\r\n"
                   "[A]\r\n"
                   "one = 1\r\n"
                   "; about two\r\n"
                   "Two=2\r\n"
                   "\r\n"
                   "[B]\r\n"
                   "three=3\r\n");
    ASSERT_TRUE(ProfileWriteString("a", "TWO", "22", path));
    ASSERT_TRUE(ProfileWriteString("A", "four", "4", path));
    EXPECT_EQ(ReadWholeFile(path),
              "\xEF\xBB\xBF; top comment\r\n"
              "[A]\r\n"
              "one = 1\r\n"
              "; about two\r\n"
              "Two=22\r\n"
              "four=4\r\n"
              "\r\n"
              "[B]\r\n"
              "three=3\r\n");
    EXPECT_EQ(ProfileReadString("A", "one", "", path), "1");
}

TEST(Profile, CommentedKeyIsNotAKey) {
    TempDir dir;
    const std::string path = dir.file("c.ini");
    WriteWholeFile(path, "[S]\n;Key=old\n");
    EXPECT_EQ(ProfileReadString("S", "Key", "none", path), "none");
    ASSERT_TRUE(ProfileWriteString("S", "Key", "new", path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\n;Key=old\nKey=new\n");
}

TEST(Profile, BadWritesChangeNothing) {
    TempDir dir;
    const std::string path = dir.file("bad.ini");
    WriteWholeFile(path, "[S]\nk=v\n");
    EXPECT_FALSE(ProfileWriteString("", "k", "v", path));
    EXPECT_FALSE(ProfileWriteString("S]", "k", "v", path));
    EXPECT_FALSE(ProfileWriteString("S", "", "v", path));
    EXPECT_FALSE(ProfileWriteString("S", "a=b", "v", path));
    EXPECT_FALSE(ProfileWriteString("S", "[k", "v", path));
    EXPECT_FALSE(ProfileWriteString("S", ";k", "v", path));
    EXPECT_FALSE(ProfileWriteString("S", "k", "line\nbreak", path));
    EXPECT_FALSE(ProfileWriteString("S\n[T]", "k", "v", path));
    EXPECT_EQ(ReadWholeFile(path), "[S]\nk=v\n");
    // A folder where the file should be, and a missing parent folder.
    EXPECT_FALSE(ProfileWriteString("S", "k", "v", dir.path().string()));
    EXPECT_FALSE(ProfileWriteString("S", "k", "v", dir.file("no/such/dir.ini")));
}

// A file we cannot read whole (here: far too big to be a settings file) is
// not ours to rewrite; its other contents would be lost.
TEST(Profile, UnreadableFileIsNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.file("big.ini");
    std::string big = "[S]\nk=v\n" + std::string(5 * 1024 * 1024, ';');
    WriteWholeFile(path, big);
    EXPECT_EQ(ProfileReadString("S", "k", "dflt", path), "dflt");
    EXPECT_FALSE(ProfileWriteString("S", "k", "w", path));
    EXPECT_EQ(ReadWholeFile(path).size(), big.size());
}

TEST(Profile, WriteReplacesAtomicallyAndKeepsPermissions) {
    TempDir dir;
    const std::string path = dir.file("perm.ini");
    WriteWholeFile(path, "[S]\nk=v\n");
    chmod(path.c_str(), 0600);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    ASSERT_TRUE(ProfileWriteString("S", "k", "w", path));
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    // No temporary file is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
    }
}

// Writers in several processes and threads never lose each other's keys.
TEST(Profile, ConcurrentWritersLoseNothing) {
    TempDir dir;
    const std::string path = dir.file("race.ini");
    constexpr int kProcesses = 3;
    constexpr int kThreads = 3;
    constexpr int kKeys = 20;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<std::thread> threads;
            bool ok = true;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&, t] {
                    for (int k = 0; k < kKeys; ++k) {
                        std::string key = "p" + std::to_string(p) + "t" + std::to_string(t) +
                                          "k" + std::to_string(k);
                        if (!ProfileWriteString("S", key, std::to_string(k), path)) {
                            ok = false;
                        }
                    }
                });
            }
            for (auto& thread : threads) {
                thread.join();
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int t = 0; t < kThreads; ++t) {
            for (int k = 0; k < kKeys; ++k) {
                std::string key =
                    "p" + std::to_string(p) + "t" + std::to_string(t) + "k" + std::to_string(k);
                EXPECT_EQ(ProfileReadInt("S", key, -1, path), k) << key;
            }
        }
    }
}
