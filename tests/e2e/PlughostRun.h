#pragma once
// Running plughost from an end-to-end test as a user's shell would: natively, or the Windows
// build under Wine, with its standard output and error kept in the test's folder and read back.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct Result {
  int status = -1;  // the exit status; -1 when the run ended otherwise (a signal)
  std::string out, err;
};

// The environment variable NAME, or FALLBACK when it is unset or empty: how a test is told to
// run the Windows builds under Wine instead of the native ones.
inline std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One shell word. The tests' paths and arguments hold no quote of their own.
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Wine takes Windows paths; the Z: drive is the Unix root.
inline std::string WinePath(const std::filesystem::path& p) {
  std::string s = "Z:" + std::filesystem::absolute(p).string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// Runs the shell command line COMMAND with its output in DIR/stdout and DIR/stderr.
inline Result RunIn(const std::filesystem::path& dir, std::string command) {
  command += " >" + Quote((dir / "stdout").string()) + " 2>" + Quote((dir / "stderr").string());
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = Slurp(dir / "stdout");
  r.err = Slurp(dir / "stderr");
  return r;
}

// How plughost is started: the program, the environment it is given, the Wine loader in front
// of a Windows build and what it reads on standard input.
class PlughostRun {
 public:
  explicit PlughostRun(std::string program) : program_(std::move(program)) {}

  // Under the loader WINE (natively when empty). Under Wine a window left waiting for a user
  // would stall the run: with a time limit it ends as a failure instead.
  PlughostRun& Wine(const std::string& wine, int timeoutSeconds = 0) {
    wine_ = wine;
    timeoutSeconds_ = timeoutSeconds;
    return *this;
  }
  PlughostRun& Env(const std::string& name, const std::filesystem::path& value) {
    env_ += name + "=" + Quote(value.string()) + " ";
    return *this;
  }
  // Standard input from FILE instead of the test's own.
  PlughostRun& Input(const std::filesystem::path& file) {
    input_ = file.string();
    return *this;
  }

  std::string Command(const std::vector<std::string>& args) const {
    std::string cmd = env_;
    if (!wine_.empty()) {
      if (timeoutSeconds_ > 0) cmd += "timeout " + std::to_string(timeoutSeconds_) + " ";
      cmd += Quote(wine_) + " ";
    }
    cmd += Quote(program_);
    for (const auto& a : args) cmd += " " + Quote(a);
    if (!input_.empty()) cmd += " <" + Quote(input_);
    return cmd;
  }
  // plughost ARGS, its output kept in DIR.
  Result In(const std::filesystem::path& dir, const std::vector<std::string>& args) const {
    return RunIn(dir, Command(args));
  }

 private:
  std::string program_, wine_, env_, input_;
  int timeoutSeconds_ = 0;
};

}  // namespace e2e
