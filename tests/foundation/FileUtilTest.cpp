#include "foundation/FileUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

TEST(FileUtil, MakeDirectoryTreeAppliesComponentRules) {
    TempDir dir;
    std::string root = dir.path().string();
    // Backslashes split too; "." and empty parts vanish; ".." takes back "b".
    std::string windowsStyle = root + "\\a\\.\\b\\..\\c\\";
    EXPECT_EQ(MakeDirectoryTree(windowsStyle), 0);
    EXPECT_TRUE(fs::is_directory(root + "/a/c"));
    EXPECT_FALSE(fs::exists(root + "/a/b"));
    // Again over the existing tree: still success.
    EXPECT_EQ(MakeDirectoryTree(root + "//a///c/d/e"), 0);
    EXPECT_TRUE(fs::is_directory(root + "/a/c/d/e"));
}

TEST(FileUtil, MakeDirectoryTreeFailsWhenTheTreeCannotExist) {
    TempDir dir;
    EXPECT_EQ(MakeDirectoryTree("a"), -1);
    EXPECT_EQ(MakeDirectoryTree(""), -1);
    std::string file = dir.file("plain");
    WriteWholeFile(file, "x");
    EXPECT_EQ(MakeDirectoryTree(file + "/sub"), -1);
    EXPECT_EQ(MakeDirectoryTree(file), -1);
}

TEST(FileUtil, OnlyPlainNamesPassAsFileNames) {
    EXPECT_TRUE(IsPlainFileName("u1"));
    EXPECT_TRUE(IsPlainFileName("..x"));
    for (const std::string& bad :
         {std::string(), std::string("."), std::string(".."), std::string("../u2"),
          std::string("a/b"), std::string("a\\b"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    }
}

TEST(FileUtil, IsDirectoryWritableLeavesNothingBehind) {
    TempDir dir;
    EXPECT_TRUE(IsDirectoryWritable(dir.path().string()));
    EXPECT_TRUE(IsDirectoryWritable(dir.path().string() + "/"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_FALSE(IsDirectoryWritable(dir.file("missing")));
    if (geteuid() != 0) {  // root writes anywhere
        fs::create_directory(dir.file("ro"));
        chmod(dir.file("ro").c_str(), 0555);
        EXPECT_FALSE(IsDirectoryWritable(dir.file("ro")));
    }
}

TEST(FileUtil, NormalizePathRebuildsWithSlashes) {
    auto normal = [](std::string path) {
        NormalizePath(path);
        return path;
    };
    EXPECT_EQ(normal("C:\\a\\.\\b\\..\\c\\"), "C:/a/c/");
    EXPECT_EQ(normal("/var//lib/./KIVO/x/.."), "/var/lib/KIVO");
    EXPECT_EQ(normal("\\\\server\\share"), "/server/share");
    EXPECT_EQ(normal("a/../.."), ".");
    EXPECT_EQ(normal("/.."), "/");
    EXPECT_EQ(normal("/./"), "/");
    EXPECT_EQ(normal("a"), "a");  // too short to touch
    EXPECT_EQ(normal("a\\"), "a/");
}

TEST(FileUtil, WriteFileBytesReplacesContent) {
    TempDir dir;
    std::string file = dir.file("out.bin");
    std::string bytes("a\0b\xFF", 4);
    EXPECT_EQ(WriteFileBytes(file, "something longer"), 0);
    EXPECT_EQ(WriteFileBytes(file, bytes), 0);
    EXPECT_EQ(ReadWholeFile(file), bytes);
    EXPECT_EQ(WriteFileBytes(file, ""), 0);
    EXPECT_EQ(ReadWholeFile(file), "");
    EXPECT_EQ(WriteFileBytes(dir.file("no/such/dir/x"), bytes), -1);
}

TEST(FileUtil, WriteFileBytesReportsAFullDevice) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    EXPECT_EQ(WriteFileBytes("/dev/full", std::string(100000, 'x')), -1);
}

}  // namespace
