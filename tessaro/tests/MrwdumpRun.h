#pragma once
// Running the mrwdump program from the end-to-end tests, and reading back what it wrote.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
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

// ctest runs test cases as parallel processes: each keeps its files apart by its process id.
inline std::string Temp(const std::string& name) {
  return ::testing::TempDir() + "mrwdump_" + std::to_string(::getpid()) + "_" + name;
}

inline RunResult Mrwdump(const std::string& args) {
  const std::string out = Temp("stdout"), err = Temp("stderr");
  const std::string cmd = std::string("'") + MRWDUMP_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
  const int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, Slurp(out), Slurp(err)};
}

}  // namespace tessaro::testing
