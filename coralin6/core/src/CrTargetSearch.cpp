#include "coralin/CrTargetSearch.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

int32_t CrTargetSearch::ParseKilobytes(const std::string& field) {
  int64_t v = 0;
  size_t i = 0;
  while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i]))) ++i;
  for (; i < field.size() && std::isdigit(static_cast<unsigned char>(field[i])); ++i) {
    v = v * 10 + (field[i] - '0');
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  }
  return v < 1 ? 1 : static_cast<int32_t>(v);
}

std::string CrTargetSearch::ProgressText(int32_t high, int32_t low) {
  const double done = 100.0 - (100.0 / std::log(102.0)) * std::log(static_cast<double>(high - low));
  char buf[64];
  std::snprintf(buf, sizeof buf, "Targeting File Size : %3.0f%c", done, '%');
  return buf;
}

bool CrTargetSearch::Run(int32_t kilobytes, CrSearchProgress* progress) {
  const int32_t quality = engine_.Settings().quality;
  const CrMode mode = engine_.Mode();
  engine_.SetMode(CrMode::kSilent);

  bool cancelled = false, decided = false;
  current_ = 50;
  passes_ = 0;
  int32_t high = kHighIndex, low = kLowIndex;
  uint64_t sizeHigh = kHighSize, sizeLow = 0;
  targetKb_ = kilobytes;
  // Kilobytes past 4 GB cannot be met anyway; the comparison stays in 64 bits.
  const uint64_t target = static_cast<uint64_t>(kilobytes < 1 ? 1 : kilobytes) * 1024u;
  targetBytes_ = static_cast<uint32_t>(std::min<uint64_t>(target, UINT32_MAX));

  struct RestoreMode {
    Cr4Engine& e;
    CrMode m;
    ~RestoreMode() { e.SetMode(m); }
  };
  {
    RestoreMode restore{engine_, mode};
    do {
      const int32_t mid = (high + low) / 2;
      current_ = mid;
      engine_.SetQuality(mid - 1);
      engine_.Compress();
      ++passes_;
      const uint64_t e = engine_.ProducedBytes();
      if (e > target) {
        high = mid;
        sizeHigh = e;
      } else if (e < target) {
        low = mid;
        sizeLow = e;
      } else {
        decided = true;
        break;
      }
      if (progress) {
        progress->SetText(ProgressText(high, low));
        progress->Pump();
        cancelled = progress->Cancelled();
      }
      if (cancelled) break;
      if (low == 101) {
        current_ = 101, decided = true;
        break;
      }
      if (high == 1) {
        current_ = 1, decided = true;
        break;
      }
    } while (high - low != 1);
    // A tie takes the smaller file.
    if (!cancelled && !decided) current_ = sizeHigh - target < target - sizeLow ? high : low;
  }

  const int32_t final = cancelled ? quality : current_ - 1;
  engine_.SetQuality(final == 0 ? 1 : 0);  // so that the last call always counts as a change
  engine_.SetQuality(final);
  return cancelled;
}
