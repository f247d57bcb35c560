#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "WnAtom/WnPref.h"
#include "platform/registry.h"

using qm::platform::RegistryRoot;

TEST(WnPref, MachineRootFirstThenUserAndWritesGoToBoth) {
  const std::string dir = ::testing::TempDir() + "wnpref_test";
  std::filesystem::remove_all(dir);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  WnPref pref;
  EXPECT_EQ(pref.Key(), "Software\\Hollin\\Coralin\\6.x");
  EXPECT_FALSE(pref.Read("Transfer Rate"));
  EXPECT_TRUE(pref.Write("Transfer Rate", 5));
  EXPECT_EQ(qm::platform::RegistryReadInt(RegistryRoot::LocalMachine, pref.Key(), "Transfer Rate"), 5);
  EXPECT_EQ(qm::platform::RegistryReadInt(RegistryRoot::CurrentUser, pref.Key(), "Transfer Rate"), 5);

  // Only the user root has it: the read falls back there. Both: the machine's wins.
  ASSERT_TRUE(qm::platform::RegistryWriteInt(RegistryRoot::CurrentUser, pref.Key(), "DialogX", 17));
  EXPECT_EQ(pref.Read("DialogX"), 17);
  ASSERT_TRUE(qm::platform::RegistryWriteInt(RegistryRoot::LocalMachine, pref.Key(), "DialogX", 3));
  EXPECT_EQ(pref.Read("DialogX"), 3);

  // A fresh object reads what an earlier run stored.
  EXPECT_EQ(WnPref().Read("Transfer Rate"), 5);
  EXPECT_EQ(WnPref(std::string(2000, 'k')).Key().size(), WnPref::kMaxKey);
  unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(dir);
}
