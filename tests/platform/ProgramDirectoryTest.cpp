#include "platform/paths/ProgramDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(ProgramDirectory, IsTheFolderOfTheRunningExecutable) {
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "platform_tests"));
}
