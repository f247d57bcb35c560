#pragma once
// The search for the quality whose file comes closest to a size in kilobytes: a bisection
// over the index range 0-102 (quality = index - 1), compressing the whole image each pass.
#include <cstdint>
#include <string>

#include "coralin/Cr4Engine.h"

// The progress window while the search runs.
class CrSearchProgress {
 public:
  virtual void SetText(const std::string& text) = 0;  // shown as the window's caption
  virtual void Pump() = 0;                            // drains the message queue
  virtual bool Cancelled() const = 0;                 // Cancel was pressed

 protected:
  ~CrSearchProgress() = default;
};

class CrTargetSearch {
 public:
  static constexpr int32_t kLowIndex = 0, kHighIndex = 102;
  static constexpr uint32_t kHighSize = 268435455;

  explicit CrTargetSearch(Cr4Engine& engine) : engine_(engine) {}

  // Remembers quality and mode, measures silently, and leaves the engine at the quality
  // found (or the one it had, when cancelled). True when cancelled. `progress` may be null.
  bool Run(int32_t kilobytes, CrSearchProgress* progress);

  // What the dialog's target field asks for: its leading decimal digits, at least 1.
  static int32_t ParseKilobytes(const std::string& field);
  // "Targeting File Size : %3.0f%c" for the bracket high - low.
  static std::string ProgressText(int32_t high, int32_t low);

  uint32_t TargetBytes() const { return targetBytes_; }
  int32_t TargetKilobytes() const { return targetKb_; }
  int32_t Passes() const { return passes_; }
  int32_t Index() const { return current_; }

 private:
  Cr4Engine& engine_;
  uint32_t targetBytes_ = 0;
  int32_t targetKb_ = 0;
  int32_t passes_ = 0;
  int32_t current_ = 50;
};
