#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/host.h"
#include "platform/registry.h"

using namespace qm::platform;

TEST(HostProgramFolder, FirstTokenOfTheCommandLineCutAtItsLastBackslash) {
  EXPECT_EQ(FolderFromCommandLine("\"C:\\Program Files\\Host\\host.exe\" -x \\y"), "C:\\Program Files\\Host");
  EXPECT_EQ(FolderFromCommandLine("C:\\Apps\\host.exe --flag"), "C:\\Apps");
  EXPECT_EQ(FolderFromCommandLine("\"C:\\unterminated\\h.exe"), "C:\\unterminated");
  EXPECT_EQ(FolderFromCommandLine("host.exe C:\\not\\this"), "");  // no folder: the current one
  EXPECT_EQ(FolderFromCommandLine(""), "");
  EXPECT_EQ(FolderFromCommandLine(nullptr), "");
  // Natively the running executable's folder: this test's own.
  const std::string self = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  EXPECT_EQ(HostProgramFolder(), self);
  EXPECT_EQ(HostProgramFile("Cr6preffile.dat"), self + "/Cr6preffile.dat");
}

TEST(Registry, StorePerRootUnderTheConfigFolder) {
  const std::string dir = ::testing::TempDir() + "registry_store_test";
  std::filesystem::remove_all(dir);
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  const std::string key = "Software\\Hollin\\Coralin\\6.x";
  EXPECT_FALSE(RegistryReadInt(RegistryRoot::CurrentUser, key, "DialogX"));
  EXPECT_TRUE(RegistryWriteInt(RegistryRoot::CurrentUser, key, "DialogX", -40));
  EXPECT_TRUE(RegistryWriteInt(RegistryRoot::CurrentUser, key, "Show Original", 1));
  EXPECT_TRUE(RegistryWriteInt(RegistryRoot::CurrentUser, key, "DialogX", 2147483647));
  EXPECT_EQ(RegistryReadInt(RegistryRoot::CurrentUser, key, "DialogX"), 2147483647);
  EXPECT_EQ(RegistryReadInt(RegistryRoot::CurrentUser, key, "Show Original"), 1);
  EXPECT_FALSE(RegistryReadInt(RegistryRoot::LocalMachine, key, "DialogX"));  // roots apart
  EXPECT_TRUE(std::filesystem::exists(dir + "/quillmere/registry/HKEY_CURRENT_USER/Software/Hollin/Coralin/6.x.values"));

  // Key paths that would leave the store, and damaged lines, are refused quietly.
  EXPECT_FALSE(RegistryWriteInt(RegistryRoot::CurrentUser, "Software\\..\\..\\x", "v", 1));
  EXPECT_FALSE(RegistryWriteInt(RegistryRoot::CurrentUser, "a/b", "v", 1));
  EXPECT_FALSE(RegistryWriteInt(RegistryRoot::CurrentUser, key, "bad=name", 1));
  {
    std::ofstream f(dir + "/quillmere/registry/HKEY_CURRENT_USER/Software/Hollin/Coralin/6.x.values", std::ios::app);
    f << "Broken=12x\nHuge=99999999999\nno equals\n";
  }
  EXPECT_FALSE(RegistryReadInt(RegistryRoot::CurrentUser, key, "Broken"));
  EXPECT_FALSE(RegistryReadInt(RegistryRoot::CurrentUser, key, "Huge"));
  EXPECT_EQ(RegistryReadInt(RegistryRoot::CurrentUser, key, "Show Original"), 1);
  unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(dir);
}
