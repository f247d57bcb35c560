#include "plughost/progress.h"

#ifdef _WIN32
#include <io.h>
#define QM_ISATTY _isatty
#define QM_FILENO _fileno
#else
#include <unistd.h>
#define QM_ISATTY isatty
#define QM_FILENO fileno
#endif

namespace plughost {

Progress::Progress(Mode mode, std::FILE* out) : mode_(mode), out_(out) {
  if (mode_ == Mode::Auto) mode_ = QM_ISATTY(QM_FILENO(out_)) ? Mode::Bar : Mode::Quiet;
}

Progress::~Progress() { Finish(); }

void Progress::Update(int32_t done, int32_t total) {
  if (mode_ == Mode::Log) {
    std::fprintf(out_, "plughost: progress %d/%d\n", done, total);
  } else if (mode_ == Mode::Bar) {
    constexpr int kWidth = 40;
    const double f = total > 0 ? static_cast<double>(done) / total : 0.0;
    const int filled = f < 0 ? 0 : f > 1 ? kWidth : static_cast<int>(f * kWidth);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = 0;
    std::fprintf(out_, "\r[%s] %3d%%", bar, static_cast<int>(f * 100));
    std::fflush(out_);
    barShown_ = true;
  }
}

void Progress::Finish() {
  if (barShown_) std::fputc('\n', out_);
  barShown_ = false;
}

}  // namespace plughost
