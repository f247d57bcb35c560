#pragma once
#include <cstdint>
#include <cstdio>

namespace plughost {

// Shows a plug-in's progress: a bar when stderr is a terminal, one line a call when asked
// (so scripts and tests can see every report), else nothing.
class Progress {
 public:
  enum class Mode { Auto, Bar, Log, Quiet };
  explicit Progress(Mode mode = Mode::Auto, std::FILE* out = stderr);
  ~Progress();
  void Update(int32_t done, int32_t total);
  void Finish();

 private:
  Mode mode_;
  std::FILE* out_;
  bool barShown_ = false;
};

}  // namespace plughost
