// Where the effect's user-facing messages go. The core shows no UI itself: the effect
// wires this to the platform seam (a message box on Windows, a headless report natively).
#pragma once

namespace velune {

class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void notify(const char* text) = 0;
};

}  // namespace velune
