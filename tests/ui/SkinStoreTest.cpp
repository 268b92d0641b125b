#include "ui/SkinStore.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

void MakeZip(const std::string& path, const std::map<std::string, std::string>& files) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, bytes] : files) {
        zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
        zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

TEST(SkinStore, ArchiveFirstThenFolderAndSwitching) {
    TempDir dir;
    SkinStore store;
    store.SetResourcePath(dir.path().string());
    std::string bytes;
    EXPECT_FALSE(store.Available());
    EXPECT_FALSE(store.Read("MainFrame.xml", bytes));

    std::filesystem::create_directories(dir.path() / "skin");
    WriteWholeFile(dir.file("skin/MainFrame.xml"), "from folder");
    EXPECT_TRUE(store.Available());
    ASSERT_TRUE(store.Read("MainFrame.xml", bytes));
    EXPECT_EQ(bytes, "from folder");

    std::string binary("\x89PNG\0\x01\x02", 7);
    MakeZip(dir.file("skin.zip"), {{"MainFrame.xml", "from zip"}, {"tab.png", binary}});
    ASSERT_TRUE(store.Read("MainFrame.xml", bytes));
    EXPECT_EQ(bytes, "from zip");
    ASSERT_TRUE(store.Read("TAB.PNG", bytes));  // archive names ignore case
    EXPECT_EQ(bytes, binary);
    EXPECT_FALSE(store.Read("missing.xml", bytes));
    EXPECT_TRUE(bytes.empty());

    store.SetArchive("skin2.zip");  // no such archive: the folder "skin2"
    EXPECT_FALSE(store.Read("MainFrame.xml", bytes));
    std::filesystem::create_directories(dir.path() / "skin2");
    WriteWholeFile(dir.file("skin2/MainFrame.xml"), "second");
    ASSERT_TRUE(store.Read("MainFrame.xml", bytes));
    EXPECT_EQ(bytes, "second");
}

TEST(SkinStore, ABrokenArchiveReadsNothing) {
    TempDir dir;
    WriteWholeFile(dir.file("skin.zip"), "not a zip at all");
    SkinStore store;
    store.SetResourcePath(dir.path().string());
    std::string bytes;
    EXPECT_FALSE(store.Read("MainFrame.xml", bytes));
}

}  // namespace
