#include "platform/paths/DataPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry/Registry.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

TEST(DataPaths, RegisteredFolderComesFirstAndTheOverrideAlone) {
    TempDir dir;
    ScopedEnvironment environment;
    environment.Set(kRegistryDirOverride, dir.file("registry"));
    environment.Set("XDG_DATA_HOME", dir.file("xdg"));
    environment.Unset(kDataPathOverride);

    auto plain = DataPathCandidates();
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0], kMachineDataPath);
    EXPECT_EQ(plain[1], dir.file("xdg") + "/KIVO/Qorvane/Data");

    ASSERT_EQ(RegWriteString(RegistryRoot::LocalMachine, kProductRegistryKey, kDataPathValue,
                             dir.file("chosen")),
              0);
    auto registered = DataPathCandidates();
    ASSERT_EQ(registered.size(), 3u);
    EXPECT_EQ(registered[0], dir.file("chosen"));
    EXPECT_EQ(ChooseDataPath(), dir.file("chosen"));  // created on the way

    environment.Set(kDataPathOverride, dir.file("forced"));
    EXPECT_EQ(DataPathCandidates(), std::vector<std::string>{dir.file("forced")});
}

}  // namespace
