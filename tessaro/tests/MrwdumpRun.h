#pragma once
// Running the mrwdump program from the end-to-end tests, and reading back what it wrote.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace tessaro::testing {

struct RunResult {
  int status;
  std::string out, err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ctest runs test cases as parallel processes: each keeps its files in a folder named by its
// process id, removed when the process ends.
inline std::string Temp(const std::string& name) {
  struct Folder {
    std::string path = ::testing::TempDir() + "mrwdump_" + std::to_string(::getpid());
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return folder.path + "/" + name;
}

inline RunResult Mrwdump(const std::string& args) {
  const std::string out = Temp("stdout"), err = Temp("stderr");
  const std::string cmd = std::string("'") + MRWDUMP_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, Slurp(out), Slurp(err)};
}

}  // namespace tessaro::testing
