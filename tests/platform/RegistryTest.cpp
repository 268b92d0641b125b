#include "platform/registry/Registry.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry/RegistryHive.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { setenv(kRegistryDirOverride, dir.path().c_str(), 1); }
    void TearDown() override { unsetenv(kRegistryDirOverride); }
    TempDir dir;
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
    Registry machine(RegistryRoot::LocalMachine);
    const std::string awkward = "C:\\KIVO \"quoted\"\nline two\t\x01\xC4\xE3";
    EXPECT_EQ(machine.WriteString("Software\\KIVO\\QORVANE", "DataPath", awkward), 0);
    EXPECT_EQ(machine.WriteString("Software\\KIVO\\QORVANE", "Empty", ""), 0);
    EXPECT_EQ(machine.WriteDword("Software\\KIVO\\QORVANE", "Count", 0xFFFFFFFFu), 0);

    std::string text;
    EXPECT_EQ(RegReadString("software/kivo/qorvane", "DATAPATH", text), 0);
    EXPECT_EQ(text, awkward);
    EXPECT_EQ(machine.ReadString("Software\\KIVO\\QORVANE", "Empty", text), 0);
    EXPECT_EQ(text, "");
    uint32_t number = 0;
    EXPECT_EQ(machine.ReadDword("Software\\KIVO\\QORVANE", "count", number), 0);
    EXPECT_EQ(number, 0xFFFFFFFFu);

    // Wrong type, missing value, missing key: -1 with cleared outputs.
    text = "stale";
    EXPECT_EQ(machine.ReadString("Software\\KIVO\\QORVANE", "Count", text), -1);
    EXPECT_EQ(text, "");
    number = 9;
    EXPECT_EQ(machine.ReadDword("Software\\KIVO\\QORVANE", "Missing", number), -1);
    EXPECT_EQ(number, 0u);
    EXPECT_EQ(machine.ReadString("Software\\Nobody", "x", text), -1);

    // The user's hive is another file.
    EXPECT_EQ(RegReadDword("Software\\KIVO\\QORVANE", "Count", number), -1);
    EXPECT_EQ(RegWriteDword("Software\\Microsoft\\Internet Settings", "ProxyEnable", 1), 0);
    EXPECT_EQ(RegReadDword("Software\\Microsoft\\Internet Settings", "ProxyEnable", number), 0);
    EXPECT_EQ(number, 1u);

    struct stat st {};
    ASSERT_EQ(stat(Registry::HivePath(RegistryRoot::LocalMachine).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // other users' programs read it
}

TEST_F(RegistryTest, SubKeysEnumerateAndDeleteAsATree) {
    Registry classes(RegistryRoot::ClassesRoot);
    EXPECT_EQ(classes.CreateKey("Domains\\example.com\\www"), 0);
    EXPECT_EQ(classes.WriteDword("Domains\\example.com\\www", "http", 2), 0);
    EXPECT_EQ(classes.WriteDword("Domains\\other.org", "*", 2), 0);
    EXPECT_TRUE(classes.KeyExists("domains\\EXAMPLE.com"));

    std::vector<std::string> names;
    EXPECT_EQ(classes.EnumSubKeys("Domains", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"example.com", "other.org"}));
    EXPECT_EQ(classes.EnumSubKeys("Nothing", names), -1);
    EXPECT_TRUE(names.empty());

    EXPECT_EQ(classes.DeleteKey("Domains\\example.com"), 0);
    EXPECT_FALSE(classes.KeyExists("Domains\\example.com\\www"));
    EXPECT_EQ(classes.DeleteKey("Domains\\example.com"), -1);
    EXPECT_EQ(classes.DeleteValue("Domains\\other.org", "*"), 0);
    EXPECT_EQ(classes.DeleteValue("Domains\\other.org", "*"), -1);
    EXPECT_TRUE(classes.KeyExists("Domains\\other.org"));
}

TEST_F(RegistryTest, ACorruptHiveIsNeverOverwritten) {
    std::string path = Registry::HivePath(RegistryRoot::LocalMachine);
    WriteWholeFile(path, "[Software\\KIVO]\n\"DataPath\"=\"unterminated\n");
    Registry machine(RegistryRoot::LocalMachine);
    std::string text;
    EXPECT_EQ(machine.ReadString("Software\\KIVO", "DataPath", text), -1);
    EXPECT_EQ(machine.WriteString("Software\\KIVO", "Other", "x"), -1);
    EXPECT_EQ(ReadWholeFile(path), "[Software\\KIVO]\n\"DataPath\"=\"unterminated\n");
}

TEST_F(RegistryTest, WritersInSeveralProcessesLoseNothing) {
    constexpr int kProcesses = 4;
    constexpr int kWrites = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Registry user(RegistryRoot::CurrentUser);
            for (int i = 0; i < kWrites; ++i) {
                std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
                if (user.WriteDword("Software\\Race", name, static_cast<uint32_t>(i)) != 0) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Registry user(RegistryRoot::CurrentUser);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            uint32_t number = 0;
            std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
            ASSERT_EQ(user.ReadDword("Software\\Race", name, number), 0) << name;
            EXPECT_EQ(number, static_cast<uint32_t>(i));
        }
    }
}

TEST(RegistryHive, TextFormRules) {
    RegistryHive hive;
    EXPECT_TRUE(hive.Parse("; comment\n\n[A\\B]\r\n\"x\"=dword:0000002a\n\"y\"=\"\\x41\\\\\"\n"));
    ASSERT_NE(hive.FindValue("a/b", "X"), nullptr);
    EXPECT_EQ(hive.FindValue("a/b", "X")->number, 42u);
    EXPECT_EQ(hive.FindValue("A\\B", "y")->text, "A\\");
    EXPECT_TRUE(hive.HasKey("A"));  // parents exist

    RegistryHive again;
    EXPECT_TRUE(again.Parse(hive.Serialize()));
    EXPECT_EQ(again.Serialize(), hive.Serialize());

    for (const char* bad :
         {"\"x\"=\"1\"\n", "[A]\n\"x\"=dword:zz\n", "[A]\n\"x\"=dword:123456789\n", "[A]\nx=1\n",
          "[A\n", "[A]\n\"x\"=\"1\" trailing\n"}) {
        RegistryHive broken;
        EXPECT_FALSE(broken.Parse(bad)) << bad;
    }
    EXPECT_EQ(RegistryHive::NormalizePath("\\a//b\\"), "a\\b");
}

}  // namespace
